#pragma once

#include <cstdint>
#include <string>

namespace qln::ado {

// Data type numbers of fields, as programs written against ADO know them.
enum DataType : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adDate = 7,
    adBoolean = 11,
    adVariant = 12,
    adBigInt = 20,
    adChar = 129,
    adWChar = 130,
    adChapter = 136,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
};

enum CursorLocation : int { adUseServer = 2, adUseClient = 3 };
enum CursorType : int { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType : int { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };
// Access a connection asks for; adModeUnknown is read-write where the file allows it.
enum ConnectMode : int { adModeUnknown = 0, adModeRead = 1, adModeWrite = 2, adModeReadWrite = 3 };
enum FieldAttribute : long { adFldUpdatable = 0x4, adFldFixed = 0x10, adFldIsNullable = 0x20, adFldMayBeNull = 0x40 };

// Error numbers of the data layer (besides qln::kProviderError).
inline constexpr std::int64_t adErrInvalidArgument = 0x800A0BB9;   // bad filter, sort or criteria
inline constexpr std::int64_t adErrNoCurrentRecord = 0x800A0BCD;   // BOF or EOF
inline constexpr std::int64_t adErrItemNotFound = 0x800A0CC1;      // no field of that name
inline constexpr std::int64_t adErrObjectClosed = 0x800A0E78;      // the record set is closed
inline constexpr std::int64_t adErrObjectOpen = 0x800A0E79;        // cannot do that while open
inline constexpr std::int64_t adErrFeatureNotAvailable = 0x800A0CB3;  // a write to a read-only record set

struct FieldInfo {
    std::string name;
    int type = adVariant;
    long definedSize = 0;
    long attributes = 0;
};

// True for the text types (adChar, adVarChar, their wide and long forms).
bool isTextType(int type);

} // namespace qln::ado

#include "ResultWriter.h"

#include "quillon/ado/Types.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <locale>
#include <vector>

namespace qln::rate {
namespace {

void writeCsvField(std::ostream& out, const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out << text;
        return;
    }
    out << '"';
    for (const char c : text) {
        out << c;
        if (c == '"')
            out << '"';
    }
    out << '"';
}

// Length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes there are not one.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

// A JSON string; bytes that are not UTF-8 (a soils file may hold any) become U+FFFD, so
// the document stays valid JSON.
std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (static_cast<unsigned char>(c) >= 0x80) {
            const std::size_t length = utf8Length(text, at);
            if (length == 0) {
                out += "\\ufffd";
                continue;
            }
            out.append(text, at, length);
            at += length - 1;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// A number that is not finite has no meaning as a rating and no form in JSON or a dBase
// column; it stops the output instead of being printed as "inf" or "nan".
// Every value is checked before the first is written, so that a refused output writes nothing.
void refuseNonFinite(ado::Recordset& results)
{
    for (results.moveFirst(); !results.eof(); results.moveNext()) {
        for (int f = 0; f < results.fieldCount(); ++f) {
            const Variant& value = results.value(f);
            const auto kind = value.kind();
            if (kind != Variant::Kind::Single && kind != Variant::Kind::Double)
                continue;
            const auto number = value.number();
            if (number && std::isfinite(*number))
                continue;
            const int key = results.fieldIndex("mukey");
            throw NonFiniteValue("The value of " + results.field(f).name +
                                 (key >= 0 ? " for map unit " + results.value(key).text() : std::string()) +
                                 " is not a finite number; nothing was written.");
        }
    }
}

std::string jsonValue(const Variant& value)
{
    switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return "null";
    case Variant::Kind::Boolean:
        return value.boolean() ? "true" : "false";
    case Variant::Kind::Integer:
    case Variant::Kind::Single:
    case Variant::Kind::Double:
        return value.text();
    default:
        return jsonString(value.text());
    }
}

std::vector<std::vector<std::string>> cells(ado::Recordset& results)
{
    std::vector<std::vector<std::string>> rows;
    for (results.moveFirst(); !results.eof(); results.moveNext()) {
        std::vector<std::string> row;
        for (int f = 0; f < results.fieldCount(); ++f)
            row.push_back(results.value(f).text());
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

std::string columnType(ado::Recordset& results, int field)
{
    switch (results.field(field).type) {
    case ado::adSmallInt:
    case ado::adInteger:
    case ado::adBigInt:
        return "Integer";
    case ado::adSingle:
    case ado::adDouble:
        return "Real";
    case ado::adVariant:
        break;
    default:
        return "String";
    }
    bool any = false, integers = true, numbers = true;
    for (results.moveFirst(); !results.eof(); results.moveNext()) {
        const Variant& value = results.value(field);
        if (value.isMissing())
            continue;
        any = true;
        integers = integers && value.kind() == Variant::Kind::Integer;
        numbers = numbers && (value.kind() == Variant::Kind::Integer || value.kind() == Variant::Kind::Single ||
                              value.kind() == Variant::Kind::Double);
    }
    return !any ? "String" : integers ? "Integer" : numbers ? "Real" : "String";
}

std::string csvTypes(ado::Recordset& results)
{
    std::string line;
    for (int f = 0; f < results.fieldCount(); ++f)
        line += (f ? ",\"" : "\"") + columnType(results, f) + "\"";
    return line + "\n";
}

void writeResults(ado::Recordset results, OutputFormat format, std::ostream& out)
{
    // Counts are written by the stream; a grouping locale must not reach them.
    out.imbue(std::locale::classic());
    refuseNonFinite(results);
    std::vector<std::string> names;
    for (int f = 0; f < results.fieldCount(); ++f)
        names.push_back(results.field(f).name);

    if (format == OutputFormat::Json) {
        out << "[";
        bool first = true;
        for (results.moveFirst(); !results.eof(); results.moveNext()) {
            out << (first ? "\n  {" : ",\n  {");
            first = false;
            for (int f = 0; f < results.fieldCount(); ++f)
                out << (f ? ", " : "") << jsonString(names[static_cast<std::size_t>(f)]) << ": "
                    << jsonValue(results.value(f));
            out << "}";
        }
        out << (first ? "]\n" : "\n]\n");
        return;
    }

    if (format == OutputFormat::Csv) {
        for (std::size_t f = 0; f < names.size(); ++f) {
            out << (f ? "," : "");
            writeCsvField(out, names[f]);
        }
        out << '\n';
        for (results.moveFirst(); !results.eof(); results.moveNext()) {
            for (int f = 0; f < results.fieldCount(); ++f) {
                out << (f ? "," : "");
                writeCsvField(out, results.value(f).text());
            }
            out << '\n';
        }
        return;
    }

    const auto rows = cells(results);

    std::vector<std::size_t> widths;
    for (const auto& name : names)
        widths.push_back(name.size());
    for (const auto& row : rows) {
        for (std::size_t f = 0; f < row.size(); ++f)
            widths[f] = std::max(widths[f], row[f].size());
    }
    auto line = [&](const std::vector<std::string>& values) {
        for (std::size_t f = 0; f < values.size(); ++f) {
            out << (f ? "  " : "") << values[f];
            if (f + 1 < values.size())
                out << std::string(widths[f] - values[f].size(), ' ');
        }
        out << "\n";
    };
    line(names);
    std::vector<std::string> rule;
    for (const auto width : widths)
        rule.emplace_back(width, '-');
    line(rule);
    for (const auto& row : rows)
        line(row);
    out << "(" << rows.size() << " map units)\n";
}

} // namespace qln::rate

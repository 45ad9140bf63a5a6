#include "Package.h"

#include "quillon/InputFile.h"
#include "quillon/ZipHandles.h"
#include "quillon/word/Document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

namespace qln::word {

Parts readPackage(const std::filesystem::path& path)
{
    if (const auto why = irregularInput(path))
        throw DocumentError("Cannot read the template: " + *why);
    int code = 0;
    const ZipArchive archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw DocumentError("Cannot read the template " + path.string() + ": " + message);
    }
    Parts parts;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &stat) != 0)
            throw DocumentError("Cannot read the template " + path.string() + ": damaged entry");
        std::string data(static_cast<std::size_t>(stat.size), '\0');
        const ZipFile file(zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(i), 0));
        const zip_int64_t read = file ? zip_fread(file.get(), data.data(), stat.size) : -1;
        if (read != static_cast<zip_int64_t>(stat.size))
            throw DocumentError("Cannot read the template " + path.string() + ": damaged entry " + stat.name);
        parts.emplace(stat.name, std::move(data));
    }
    return parts;
}

std::string writePackage(const Parts& parts, const std::function<void()>& going)
{
    zip_error_t error;
    zip_error_init(&error);
    const ZipSource buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer)
        throw DocumentError("Cannot build a document package: out of memory");
    zip_source_keep(buffer.get());
    ZipArchive owned(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error));
    zip_t* const archive = owned.get();
    if (!archive)
        throw DocumentError(std::string("Cannot build a document package: ") + zip_error_strerror(&error));
    // The content types part first, as some readers expect.
    auto add = [&](const std::string& name, const std::string& data) {
        ZipSource source(zip_source_buffer(archive, data.data(), data.size(), 0));
        if (!source || zip_file_add(archive, name.c_str(), source.get(), ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0)
            throw DocumentError(std::string("Cannot build a document package: ") + zip_strerror(archive));
        source.release();  // the archive owns it now
    };
    const auto types = parts.find("[Content_Types].xml");
    if (types != parts.end())
        add(types->first, types->second);
    for (const auto& [name, data] : parts) {
        if (name != "[Content_Types].xml")
            add(name, data);
    }
    // What `going` throws while libzip packs is kept and thrown once libzip has stopped.
    struct Stop {
        const std::function<void()>& going;
        std::exception_ptr thrown;
    } stop{going, nullptr};
    if (going) {
        zip_register_cancel_callback_with_state(
            archive,
            [](zip_t*, void* state) -> int {
                auto& current = *static_cast<Stop*>(state);
                try {
                    current.going();
                    return 0;
                } catch (...) {
                    current.thrown = std::current_exception();
                    return 1;
                }
            },
            nullptr, &stop);
    }
    if (zip_close(archive) != 0) {
        if (stop.thrown)
            std::rethrow_exception(stop.thrown);
        throw DocumentError(std::string("Cannot build a document package: ") + zip_strerror(archive));
    }
    owned.release();  // written and freed by zip_close
    zip_stat_t stat;
    if (zip_source_stat(buffer.get(), &stat) != 0 || zip_source_open(buffer.get()) != 0)
        throw DocumentError("Cannot build a document package");
    std::string bytes(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t read = zip_source_read(buffer.get(), bytes.data(), stat.size);
    zip_source_close(buffer.get());
    if (read != static_cast<zip_int64_t>(stat.size))
        throw DocumentError("Cannot build a document package");
    return bytes;
}

} // namespace qln::word

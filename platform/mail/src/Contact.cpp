#include "quillon/mail/Contact.h"

#include "quillon/InputFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace qln::mail {
namespace {

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// Logical lines: CR LF or LF ends a line; a line starting with a blank or tab continues
// the one before it without that first character.
std::vector<std::string> unfold(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t') && !lines.empty())
            lines.back().append(line.substr(1));
        else
            lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

// The value split at unescaped semicolons, each part with its escapes undone.
std::vector<std::string> components(std::string_view value)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            parts.back() += next == 'n' || next == 'N' ? '\n' : next;
        } else if (c == ';') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// A single text value with its escapes undone; a stray semicolon stays as it is.
std::string unescaped(std::string_view value)
{
    const auto parts = components(value);
    std::string out = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i)
        out += ";" + parts[i];
    return out;
}

struct Property {
    std::string name;    // upper case, group removed
    std::string params;  // upper case, as written
    std::string value;
};

// "group.NAME;PARAM=x:value"; the colon inside a quoted parameter does not end the name.
std::optional<Property> splitLine(const std::string& line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            std::string head = line.substr(0, i);
            Property property;
            const auto semicolon = head.find(';');
            std::string name = head.substr(0, semicolon);
            const auto dot = name.rfind('.');
            if (dot != std::string::npos)
                name = name.substr(dot + 1);
            property.name = upper(name);
            property.params = semicolon == std::string::npos ? std::string() : upper(head.substr(semicolon + 1));
            property.value = line.substr(i + 1);
            return property;
        }
    }
    return std::nullopt;
}

bool isWorkAddress(const std::string& params)
{
    // TYPE=work, TYPE="home,work", TYPE=WORK;TYPE=pref, or the bare vCard 2.1 form WORK.
    for (std::size_t at = params.find("WORK"); at != std::string::npos; at = params.find("WORK", at + 1)) {
        const bool startOk = at == 0 || params[at - 1] == '=' || params[at - 1] == ',' || params[at - 1] == ';' ||
                             params[at - 1] == '"';
        const std::size_t after = at + 4;
        const bool endOk = after == params.size() || params[after] == ',' || params[after] == ';' ||
                           params[after] == '"';
        if (startOk && endOk)
            return true;
    }
    return false;
}

} // namespace

Contact parseVCard(std::string_view text)
{
    Contact contact;
    bool inCard = false;
    bool haveAddress = false;
    bool workAddress = false;
    for (const std::string& line : unfold(text)) {
        const auto property = splitLine(line);
        if (!property)
            continue;
        const std::string& name = property->name;
        if (name == "BEGIN" && upper(property->value) == "VCARD") {
            inCard = true;
            continue;
        }
        if (!inCard)
            continue;
        if (name == "END" && upper(property->value) == "VCARD")
            return contact;
        if (name == "FN") {
            contact.FileAs = unescaped(property->value);
        } else if (name == "ORG") {
            contact.CompanyName = components(property->value).front();
        } else if (name == "X-MESSAGE-CLASS") {
            contact.MessageClass = unescaped(property->value);
        } else if (name == "X-ORGANIZATIONAL-ID") {
            contact.OrganizationalIDNumber = unescaped(property->value);
        } else if (name == "ADR") {
            const bool work = isWorkAddress(property->params);
            if (haveAddress && (workAddress || !work))
                continue;
            auto parts = components(property->value);
            parts.resize(7);
            contact.BusinessAddressStreet = parts[2];
            contact.BusinessAddressCity = parts[3];
            contact.BusinessAddressState = parts[4];
            contact.BusinessAddressPostalCode = parts[5];
            haveAddress = true;
            workAddress = work;
        }
    }
    if (!inCard)
        throw ContactError("The contact holds no vCard (BEGIN:VCARD is missing).");
    return contact;
}

std::filesystem::path activeContactPath()
{
    if (const char* file = std::getenv("QUILLON_CONTACT_FILE"); file && *file)
        return file;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "quillon" / "contact.vcf";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : ".") / ".local" / "share" / "quillon" / "contact.vcf";
}

std::optional<Contact> activeContact()
{
    const std::filesystem::path path = activeContactPath();
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return std::nullopt;
    if (const auto why = irregularInput(path))
        throw ContactError("Cannot read the contact file: " + *why + ".");
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf()))
        throw ContactError("Cannot read the contact file " + path.string() + ".");
    try {
        return parseVCard(text.str());
    } catch (const ContactError& failure) {
        throw ContactError(path.string() + ": " + failure.what());
    }
}

} // namespace qln::mail

#include "quillon/ado/ServerAddress.h"

#include "Database.h"
#include "quillon/ado/Connection.h"

#include <map>

namespace qln::ado {
namespace {

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};

[[noreturn]] void refuse(const std::string& why)
{
    detail::raiseProviderError("Bad server address: " + why);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low < 0)
            refuse("\"%\" must be followed by two hexadecimal digits");
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

} // namespace

bool isServerAddress(std::string_view text)
{
    for (const auto scheme : kSchemes)
        if (text.substr(0, scheme.size()) == scheme)
            return true;
    return false;
}

std::string serverConnectString(std::string_view address)
{
    std::string_view rest;
    for (const auto scheme : kSchemes)
        if (address.substr(0, scheme.size()) == scheme)
            rest = address.substr(scheme.size());
    if (!isServerAddress(address))
        refuse("it does not begin with postgresql://");

    std::map<std::string, std::string> parts;
    std::string_view query;
    if (const auto mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
    }
    std::string_view authority = rest;
    if (const auto slash = rest.find('/'); slash != std::string_view::npos) {
        authority = rest.substr(0, slash);
        if (const std::string database = decoded(rest.substr(slash + 1)); !database.empty())
            parts["Database"] = database;
    }
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        if (user.find(':') != std::string_view::npos)
            refuse("it holds a password; set PGPASSWORD or use ~/.pgpass instead");
        parts["Uid"] = decoded(user);
        authority = authority.substr(at + 1);
    }
    std::string_view host = authority;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos)
            refuse("an address in [ has no ]");
        parts["Server"] = decoded(host.substr(1, close - 1));
        host = host.substr(close + 1);
        if (!host.empty() && host.front() == ':')
            parts["Port"] = decoded(host.substr(1));
    } else {
        if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
            parts["Port"] = decoded(host.substr(colon + 1));
            host = host.substr(0, colon);
        }
        if (!host.empty())
            parts["Server"] = decoded(host);
    }

    static const std::map<std::string, std::string, std::less<>> kParameters = {
        {"host", "Server"}, {"port", "Port"}, {"dbname", "Database"}, {"user", "Uid"}, {"schema", "Schema"}};
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        const auto equal = pair.find('=');
        const std::string name = decoded(pair.substr(0, equal));
        if (name == "password" || name == "passfile")
            refuse("it holds a password; set PGPASSWORD or use ~/.pgpass instead");
        const auto known = kParameters.find(name);
        if (known == kParameters.end())
            refuse("unknown parameter \"" + name + "\" (known: host, port, dbname, user, schema)");
        parts[known->second] = equal == std::string_view::npos ? std::string() : decoded(pair.substr(equal + 1));
    }
    if (const auto port = parts.find("Port"); port != parts.end() &&
        (port->second.empty() || port->second.find_first_not_of("0123456789") != std::string::npos))
        refuse("the port \"" + port->second + "\" is not a number");

    std::string text = "Driver={PostgreSQL};";
    for (const char* key : {"Server", "Port", "Database", "Uid", "Schema"}) {
        if (const auto it = parts.find(key); it != parts.end() && !it->second.empty())
            text += std::string(key) + "=" + quoteConnectionValue(it->second) + ";";
    }
    return text;
}

} // namespace qln::ado

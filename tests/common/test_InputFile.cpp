#include "quillon/InputFile.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

TEST(InputFile, OnlyRegularFilesAndMissingOnesPass)
{
    qln::test::TempFolder temp;
    std::ofstream(temp / "soils.sqlite") << "data";
    fs::create_symlink(temp / "soils.sqlite", temp / "link.sqlite");
    ASSERT_EQ(::mkfifo((temp / "pipe").c_str(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (temp / "socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/null", temp / "null");

    const std::vector<std::pair<fs::path, const char*>> cases = {
        {temp / "soils.sqlite", nullptr}, {temp / "link.sqlite", nullptr}, {temp / "missing", nullptr},
        {temp / "pipe", "a FIFO"},        {temp / "socket", "a socket"},  {temp / "null", "a device"},
        {temp.path(), "a folder"},
    };
    for (const auto& [file, kind] : cases) {
        const auto why = qln::irregularInput(file);
        if (!kind) {
            EXPECT_FALSE(why) << file << ": " << *why;
            continue;
        }
        ASSERT_TRUE(why) << file;
        EXPECT_EQ(*why, file.string() + " is " + kind + ", not a regular file");
    }
    ::close(listener);
}

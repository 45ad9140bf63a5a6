#include "quillon/AtomicFile.h"
#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;
using qln::AtomicFile;
using qln::OutputError;

namespace {

std::string slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

std::size_t entries(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t modeOf(const fs::path& file)
{
    struct stat status {};
    ::stat(file.c_str(), &status);
    return status.st_mode;
}

// A character device node in the test's own folder, never the machine's /dev nodes; empty
// when this machine does not let the test make or open one.
fs::path deviceNode(const fs::path& folder, const char* name, unsigned minor)
{
    const fs::path node = folder / name;
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        return {};
    const int fd = ::open(node.c_str(), O_WRONLY);
    if (fd < 0) {  // e.g. a temporary folder mounted nodev
        ::unlink(node.c_str());
        return {};
    }
    ::close(fd);
    return node;
}

class AtomicFileTest : public ::testing::Test {
protected:
    qln::test::TempFolder temp;
};

} // namespace

TEST_F(AtomicFileTest, ReplacesWholeOnCommitAndLeavesTheTargetUntouchedOtherwise)
{
    const fs::path target = temp / "out.csv";
    put(target, "old");
    {
        AtomicFile file(target);
        file.write("new, not committed");
        EXPECT_EQ(slurp(target), "old");
    }
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(entries(temp.path()), 1u);  // no temporary file left behind

    AtomicFile file(target);
    file.write("new ");
    file.write("text");
    file.commit();
    EXPECT_EQ(slurp(target), "new text");
    EXPECT_EQ(entries(temp.path()), 1u);
}

TEST_F(AtomicFileTest, KeepsPermissionBitsAndFollowsLinks)
{
    const fs::path real = temp / "real.csv";
    put(real, "old");
    ::chmod(real.c_str(), 0640);
    const fs::path link = temp / "link.csv";
    fs::create_symlink("real.csv", link);

    AtomicFile file(link);
    file.write("new");
    file.commit();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "new");
    EXPECT_EQ(modeOf(real) & 07777, 0640u);

    const mode_t mask = ::umask(022);
    AtomicFile fresh(temp / "fresh.csv");
    fresh.commit();
    ::umask(mask);
    EXPECT_EQ(modeOf(temp / "fresh.csv") & 07777, 0644u);  // as any new file, not mkstemp's 0600
}

TEST_F(AtomicFileTest, PlantedTemporaryNamesAreNeverWrittenThrough)
{
    const fs::path outside = temp / "outside";
    put(outside, "precious");
    const fs::path target = temp / "out.csv";
    fs::create_symlink(outside, temp / "out.csv.partial");
    fs::create_symlink(outside, temp / ".out.csv.tmp");

    AtomicFile file(target);
    file.write("rating");
    file.commit();
    EXPECT_EQ(slurp(outside), "precious");
    EXPECT_EQ(slurp(target), "rating");
}

TEST_F(AtomicFileTest, ConcurrentWritersNeverTearTheTarget)
{
    const fs::path target = temp / "out.csv";
    const std::size_t size = 256 * 1024;
    put(target, std::string(size, 'o'));
    std::atomic<bool> writing{true};
    std::atomic<int> torn{0};

    std::thread reader([&] {
        while (writing) {
            const std::string seen = slurp(target);
            if (seen.size() != size || seen.find_first_not_of(seen.front()) != std::string::npos)
                ++torn;
        }
    });
    auto writer = [&](char fill) {
        for (int round = 0; round < 20; ++round) {
            AtomicFile file(target);
            for (int chunk = 0; chunk < 16; ++chunk)
                file.write(std::string(size / 16, fill));
            file.commit();
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    writing = false;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(entries(temp.path()), 1u);
}

TEST_F(AtomicFileTest, DevicesAndFifosAreWrittenInPlace)
{
    const fs::path fifo = temp / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = slurp(fifo); });
    {
        AtomicFile file(fifo);
        file.write("through the pipe");
        file.commit();
    }
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));

    const fs::path null = deviceNode(temp.path(), "null", 3);
    if (null.empty())
        GTEST_SKIP() << "this machine does not allow a device node made with mknod in " << temp.path();
    AtomicFile file(null);
    file.write("discarded");
    file.commit();
    EXPECT_TRUE(fs::is_character_file(null));
    EXPECT_EQ(entries(temp.path()), 2u);
}

TEST_F(AtomicFileTest, WriteFailuresAreErrorsNeverSilence)
{
    EXPECT_THROW(AtomicFile(temp.path()), OutputError);  // a folder
    EXPECT_THROW(AtomicFile(temp / "missing" / "out.csv"), OutputError);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    try {
        qln::writeAll(ends[1], "x", "standard output");
        ADD_FAILURE() << "a closed pipe was written";
    } catch (const OutputError& error) {
        EXPECT_EQ(std::string(error.what()), std::string("Cannot write standard output: ") + std::strerror(EPIPE));
    }
    std::signal(SIGPIPE, previous);
    ::close(ends[1]);

    const fs::path full = deviceNode(temp.path(), "full", 7);
    if (full.empty())
        GTEST_SKIP() << "this machine does not allow a device node made with mknod in " << temp.path();
    AtomicFile file(full);
    try {
        file.write("x");
        ADD_FAILURE() << "a full device took the write";
    } catch (const OutputError& error) {
        EXPECT_NE(std::string(error.what()).find(std::strerror(ENOSPC)), std::string::npos) << error.what();
    }
    EXPECT_TRUE(fs::is_character_file(full));
}

TEST_F(AtomicFileTest, OutputNamingAnInputIsRefusedThroughLinks)
{
    const fs::path soils = temp / "soils.sqlite";
    put(soils, "data");
    fs::create_symlink(soils, temp / "alias.sqlite");
    fs::create_hard_link(soils, temp / "hard.sqlite");
    const std::vector<fs::path> inputs = {temp / "rules.sqlite", soils};

    for (const char* name : {"soils.sqlite", "alias.sqlite", "hard.sqlite"}) {
        try {
            qln::refuseOutputOverInputs(temp / name, inputs);
            ADD_FAILURE() << name << " was accepted";
        } catch (const qln::OutputIsInputError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(name), std::string::npos) << message;
            EXPECT_NE(message.find(soils.string()), std::string::npos) << message;
        }
    }
    EXPECT_NO_THROW(qln::refuseOutputOverInputs(temp / "new.csv", inputs));
    EXPECT_NO_THROW(qln::refuseOutputOverInputs(temp / "rules.sqlite", inputs));  // absent input, absent target

    // All outputs of a run at once: none over an input, no two on one file or one new name.
    EXPECT_THROW(qln::refuseOutputsOverInputs({temp / "a.xml", {}, temp / "hard.sqlite"}, inputs), qln::OutputIsInputError);
    EXPECT_THROW(qln::refuseOutputsOverInputs({temp / "a.xml", temp / "." / "a.xml"}, inputs), qln::OutputIsInputError);
    put(temp / "b.docx", "old");
    fs::create_symlink(temp / "b.docx", temp / "b-link.docx");
    EXPECT_THROW(qln::refuseOutputsOverInputs({temp / "b-link.docx", temp / "b.docx"}, inputs), qln::OutputIsInputError);
    EXPECT_NO_THROW(qln::refuseOutputsOverInputs({temp / "a.xml", temp / "b.docx", {}, {}}, inputs));
    EXPECT_NO_THROW(qln::refuseOutputsOverInputs({"/dev/null", "/dev/null"}, inputs)) << "devices take several";
    EXPECT_EQ(slurp(soils), "data");
}

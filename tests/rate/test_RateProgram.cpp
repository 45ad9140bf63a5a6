// quillon-rate run as a user runs it: exit statuses, output files and the locale.
#include "EngineFixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;  // the exit status; 128 + the signal of a crash
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A character device node in the test's own folder (never the machine's /dev nodes), or
// nothing where this machine does not allow one.
fs::path deviceNode(const fs::path& folder, const char* name, unsigned minor)
{
    const fs::path node = folder / name;
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        return {};
    const int fd = ::open(node.c_str(), O_WRONLY);
    if (fd < 0) {
        ::unlink(node.c_str());
        return {};
    }
    ::close(fd);
    return node;
}

bool localeInstalled(const char* name)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const bool installed = std::setlocale(LC_ALL, name) != nullptr;
    std::setlocale(LC_ALL, previous.c_str());
    return installed;
}

class RateProgram : public qln::test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        soilsSql(R"sql(
INSERT INTO mapunit VALUES ('Ab','Alpha','L1','10'), ('Cd','Beta','L1','11'), ('Ef','Gamma','L1','12');
INSERT INTO component (comppct_r, slope_r, mukey, cokey) VALUES (100,2.5,'10','100'), (100,0.1,'11','110'),
  (100,1234.567,'12','120');
)sql");
        addAttribute({{"RoundNumbers", "3"}});
        rulesSql("INSERT INTO AttrAlgorithms VALUES ('attr','Weighted Average',0), ('attr','Dominant Soil',1);");
    }

    std::vector<std::string> base() const
    {
        return {"--soils", soils.string(), "--rules", rules.string(), "--attribute", "attr"};
    }

    static std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
    {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // Starts the program with standard output on `outFd` and standard error in `err`. The
    // arguments and environment are made before fork, so the child only opens and execs.
    static pid_t start(const std::vector<std::string>& args, int outFd, const fs::path& err, const char* locale)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            if (std::string(*entry).rfind("LC_ALL=", 0) != 0)
                environment.emplace_back(*entry);
        }
        environment.push_back(std::string("LC_ALL=") + locale);
        std::vector<char*> envp, argv{const_cast<char*>(QUILLON_RATE_PROGRAM)};
        for (auto& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(outFd, STDOUT_FILENO);
            ::dup2(errFd, STDERR_FILENO);
            ::execve(QUILLON_RATE_PROGRAM, argv.data(), envp.data());
            ::_exit(127);
        }
        return child;
    }

    static int finish(pid_t child)
    {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Runs the program; its standard output goes to `stdoutFd` when one is given.
    Outcome run(const std::vector<std::string>& args, int stdoutFd = -1, const char* locale = "C")
    {
        const fs::path out = temp / "stdout", err = temp / "stderr";
        const int outFd = stdoutFd >= 0 ? stdoutFd : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        Outcome outcome;
        outcome.status = finish(start(args, outFd, err, locale));
        if (stdoutFd < 0) {
            ::close(outFd);
            outcome.out = slurp(out);
        }
        outcome.err = slurp(err);
        return outcome;
    }
};

} // namespace

TEST_F(RateProgram, WrongOptionsExitSixtyFourBeforeAnyWork)
{
    // The rules file does not exist: a check that came after any work would fail with 2.
    const std::vector<std::string> noRules = {"--soils", soils.string(), "--rules", (temp / "none").string(),
                                              "--attribute", "attr"};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--top", "10"}, "both a top and a bottom"},
        {{"--bottom", "10"}, "both a top and a bottom"},
        {{"--top", "50", "--bottom", "20"}, "The top depth 50 is below the bottom depth 20"},
        {{"--top", "0", "--bottom", "40000"}, "The depth 40000 is outside 0 to 32767"},
        {{"--top", "-3", "--bottom", "20"}, "The depth -3 is outside"},
        {{"--top", "99999999999999999999", "--bottom", "1"}, "--top 99999999999999999999 is too large"},
        {{"--top", "1.5", "--bottom", "3"}, "--top takes a whole number, not \"1.5\""},
        {{"--begin-month", "13", "--end-month", "1"}, "The month 13 is not a month"},
        {{"--end-month", "2"}, "both a first and a last month"},
        {{"--ignore-below", "101"}, "The percent 101 is outside 0 to 100"},
        {{"--rate", "2"}, "--rate"},
        {{"--format", "xml"}, "xml"},
        {{"--column", "a;b"}, "\"a;b\""},
        {{"--list", "Crop"}, "LABEL=ITEM"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome outcome = run(with(noRules, args));
        EXPECT_EQ(outcome.status, 64) << args.front() << ": " << outcome.err;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_EQ(run({"--soils", soils.string()}).status, 64);
    EXPECT_EQ(run(with(base(), {"--top", "0", "--bottom", "0"})).status, 0);  // top equal to bottom
}

TEST_F(RateProgram, MethodsAndListItemsOnlyThoseTheAttributeOffers)
{
    Outcome outcome = run(with(base(), {"--method", "Most Limiting"}));
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find("it allows 0 Weighted Average, 3 Dominant Soil."), std::string::npos) << outcome.err;
    EXPECT_EQ(run(with(base(), {"--method", "17"})).status, 64);
    EXPECT_EQ(run(with(base(), {"--method", "dominant soil"})).status, 0);

    outcome = run(with(base(), {"--list", "Crop=Corn"}));
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find("has no option list"), std::string::npos) << outcome.err;

    rulesSql("INSERT INTO OptionList VALUES ('attr', 'Component', 'SELECT cokey FROM component ORDER BY cokey', "
             "'cokey'); UPDATE Attributes SET OptionList=1;");
    outcome = run(with(base(), {"--list", "Component=999"}));
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find("\"999\" is not an item of the list \"Component\"; its items are 100, 110, 120."),
              std::string::npos)
        << outcome.err;
    outcome = run(with(base(), {"--list", "Component=110"}));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "musym,mukey,Col,cokey,NumComponents\nCd,11,0.1,110,1\n");
}

TEST_F(RateProgram, OutputNamingAnInputIsRefusedAndTheInputKept)
{
    const std::string before = slurp(soils);
    Outcome outcome = run(with(base(), {"--output", soils.string()}));
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find("is the same file as the input " + soils.string()), std::string::npos) << outcome.err;
    EXPECT_EQ(slurp(soils), before);

    fs::create_symlink(rules, temp / "ratings.csv");
    outcome = run(with(base(), {"--output", (temp / "ratings.csv").string()}));
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find(rules.string()), std::string::npos) << outcome.err;
    EXPECT_TRUE(fs::is_symlink(temp / "ratings.csv"));
}

TEST_F(RateProgram, NoOutputIsEverAnInputOrAnotherOutput)
{
    const std::string soilsBefore = slurp(soils), rulesBefore = slurp(rules);
    const std::vector<std::vector<std::string>> outputs = {
        {"--output"}, {"--xml"}, {"--report"}, {"--category", "Setting", "--nontech"}};
    for (const auto& option : outputs) {
        for (const fs::path& input : {soils, rules}) {
            auto args = with(base(), option);
            args.push_back(input.string());
            const Outcome outcome = run(args);
            EXPECT_EQ(outcome.status, 64) << option.back() << " " << input;
            EXPECT_NE(outcome.err.find("same file as the input " + input.string()), std::string::npos) << outcome.err;
        }
    }
    EXPECT_EQ(slurp(soils), soilsBefore);
    EXPECT_EQ(slurp(rules), rulesBefore);
    const Outcome twice = run(with(base(), {"--xml", (temp / "r.out").string(), "--report", (temp / "r.out").string()}));
    EXPECT_EQ(twice.status, 64);
    EXPECT_NE(twice.err.find("are the same file"), std::string::npos) << twice.err;
}

TEST_F(RateProgram, InputsThatAreNoRegularFilesAreRefusedAtOnce)
{
    const fs::path fifo = temp / "soils.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> attribute = {"--attribute", "attr"};
    for (const auto& args : {with(attribute, {"--soils", fifo.string(), "--rules", rules.string()}),
                             with(attribute, {"--soils", soils.string(), "--rules", fifo.string()}),
                             with(base(), {"--mapunits", fifo.string()})}) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.err.find(fifo.string() + " is a FIFO, not a regular file"), std::string::npos) << outcome.err;
    }
}

TEST_F(RateProgram, OutputFilesAreWholeAndNeverWrittenThroughPlantedLinks)
{
    const fs::path target = temp / "out.csv", outside = temp / "outside";
    std::ofstream(outside) << "precious";
    fs::create_symlink(outside, temp / "out.csv.partial");
    const std::string csv = run(base()).out;
    const std::string json = run(with(base(), {"--format", "json"})).out;
    ASSERT_NE(csv, json);

    // Two runs writing the same file at once: it ends as one whole output, never a mix.
    for (int round = 0; round < 3; ++round) {
        const auto a = with(base(), {"--output", target.string()});
        const auto b = with(base(), {"--output", target.string(), "--format", "json"});
        const int devNull = ::open("/dev/null", O_WRONLY);  // read only, never a target
        const pid_t first = start(a, devNull, temp / "err-a", "C");
        const pid_t second = start(b, devNull, temp / "err-b", "C");
        ::close(devNull);
        EXPECT_EQ(finish(first), 0) << slurp(temp / "err-a");
        EXPECT_EQ(finish(second), 0) << slurp(temp / "err-b");
        const std::string written = slurp(target);
        EXPECT_TRUE(written == csv || written == json) << written;
    }
    EXPECT_EQ(slurp(outside), "precious");
}

TEST_F(RateProgram, WriteFailuresExitSeventyFourNeverZero)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    Outcome outcome = run(base(), ends[1]);
    ::close(ends[1]);
    EXPECT_EQ(outcome.status, 74);
    EXPECT_NE(outcome.err.find("Cannot write standard output: Broken pipe"), std::string::npos) << outcome.err;

    const fs::path null = deviceNode(temp.path(), "null", 3);
    const fs::path full = deviceNode(temp.path(), "full", 7);
    if (null.empty() || full.empty())
        GTEST_SKIP() << "this machine does not allow device nodes made with mknod in " << temp.path();
    outcome = run(with(base(), {"--output", null.string()}));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(fs::is_character_file(null));

    outcome = run(with(base(), {"--output", full.string()}));
    EXPECT_EQ(outcome.status, 74);
    EXPECT_NE(outcome.err.find("No space left on device"), std::string::npos) << outcome.err;
    EXPECT_TRUE(fs::is_character_file(full));

    const int fd = ::open(full.c_str(), O_WRONLY);
    outcome = run(base(), fd);
    ::close(fd);
    EXPECT_EQ(outcome.status, 74);
}

TEST_F(RateProgram, OutputIsTheSameUnderACommaDecimalLocale)
{
    if (!localeInstalled("de_DE.UTF-8")) {
        if (std::getenv("CI"))
            FAIL() << "the locale de_DE.UTF-8 is not installed (scripts/test generates it)";
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/test generates it)";
    }
    for (const char* format : {"csv", "json", "table"}) {
        for (const char* method : {"0", "3"}) {
            const auto args = with(base(), {"--format", format, "--method", method});
            const Outcome plain = run(args, -1, "C");
            const Outcome german = run(args, -1, "de_DE.UTF-8");
            EXPECT_EQ(plain.status, 0) << plain.err;
            EXPECT_EQ(german.out, plain.out) << format << " " << method;
        }
    }
    EXPECT_NE(run(base(), -1, "de_DE.UTF-8").out.find("Ef,12,1234.567,120,1"), std::string::npos);
}

// The card type and settings commands of vastrelle-cli, run as a user runs them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempDir.h"
#include "cardlist/CardList.h"
#include "cardtypes/Settings.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliTypesTest : public testing::Test {
protected:
    CliResult Run(std::vector<std::string> args) {
        const fs::path outPath = m_output / "out";
        const fs::path errPath = m_output / "err";
        std::string program = VASTRELLE_CLI;
        pid_t pid = ::fork();
        if (pid == 0) {
            int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
            std::vector<char*> argv{program.data()};
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        CliResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadFileBytes(outPath);
        result.err = ReadFileBytes(errPath);
        return result;
    }

    // A line of the tool's output.
    static std::string Line(std::string text) {
        text.push_back('\n');
        return text;
    }

    std::string Program() const { return m_program.Path().string(); }

    TempDir m_program;
    TempDir m_output;
};

}  // namespace

TEST_F(CliTypesTest, CreateAndImportMakeListedCardTypes) {
    const fs::path templatePath = m_output / "t.template";
    WriteFileBytes(templatePath, "line\n");

    CliResult created = Run({"create", Program(), "ソード"});
    EXPECT_EQ(created.exitCode, 0) << created.err;
    EXPECT_EQ(created.out + created.err, "");
    CliResult imported = Run({"import", Program(), "ｱ", templatePath.string()});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(ReadFileBytes(m_program / "ｱ" / kCardListFileName), "line\r\n");

    CliResult types = Run({"types", Program()});
    EXPECT_EQ(types.exitCode, 0);
    EXPECT_EQ(types.out, "ソード\nｱ\n");  // CP932 order: 83 5C before B1
}

TEST_F(CliTypesTest, FailuresGoToStderrWithExitCodeOne) {
    ASSERT_EQ(Run({"create", Program(), "a"}).exitCode, 0);
    CliResult exists = Run({"create", Program(), "a"});
    EXPECT_EQ(exists.exitCode, 1);
    EXPECT_EQ(exists.err, Line(msg::kCardTypeExists));
    EXPECT_EQ(exists.out, "");

    CliResult refused = Run({"create", Program(), "../a"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, Line(msg::kBadCardTypeName));

    const std::string missing = (m_output / "missing.template").string();
    CliResult unreadable = Run({"import", Program(), "b", missing});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_EQ(unreadable.err, Line(FormatMessage(msg::kCannotOpen, missing)));

    EXPECT_EQ(Run({"create", Program()}).exitCode, 2);
    EXPECT_EQ(Run({"import", Program(), "c"}).exitCode, 2);
    EXPECT_EQ(Run({"types"}).exitCode, 2);
}

TEST_F(CliTypesTest, SettingsPrintsTheStartUpChoice) {
    CliResult none = Run({"settings", Program()});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "cardname=\nview=detail\n");

    ASSERT_EQ(Run({"create", Program(), "b"}).exitCode, 0);
    ASSERT_EQ(Run({"create", Program(), "a"}).exitCode, 0);
    EXPECT_EQ(Run({"settings", Program()}).out, "cardname=a\nview=detail\n");

    WriteSettings(m_program.Path(), Sjis("ソード"), ViewChecks{false, false, false, true, false});
    EXPECT_EQ(Run({"settings", Program()}).out, "cardname=ソード\nview=title_frontimg_large\n");
    WriteSettings(m_program.Path(), "", ViewChecks{});
    EXPECT_EQ(Run({"settings", Program()}).out, "cardname=a\nview=none\n");
}

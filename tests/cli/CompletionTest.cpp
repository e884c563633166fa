// The bash completion of quarlow-cli, run in a real bash with bash-completion's helpers: the
// word being typed is completed as bash would show the choices.
#include "QtPrinters.h"
#include "TSettingsStore.h"
#include "TestMedia.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sets up bash's completion variables for the command line $1 (its last word is the one being
// typed), calls the function the script registered for quarlow-cli and prints each choice on a
// line.
const char* const Complete = R"(
source /usr/share/bash-completion/bash_completion
source "$COMPLETION_SCRIPT"
line=$1
read -ra COMP_WORDS <<<"$line"
[[ $line == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE=$line
COMP_POINT=${#line}
function=$(complete -p quarlow-cli | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
"$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";

struct TCompletionCase
{
    const char* name;
    const char* typed; // after the program
    QStringList choices;
};

void PrintTo(const TCompletionCase& c, std::ostream* os)
{
    *os << c.name;
}

class CompletionTest : public ::testing::TestWithParam<TCompletionCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"music/cd1", "music/cd 2", "config"})
            ASSERT_TRUE(QDir(root.path()).mkpath(folder));
        for (const char* file : {"a.flac", "b.ape", "c.WAV", "notes.txt", "cover.jpg"})
            ASSERT_TRUE(WriteFile(root.filePath(QStringLiteral("music/") + file), "x"));
        // A custom option set the window stored, with a blank in its name.
        const TSettingsStore store(root.filePath("config/Fendrick/KPZ05.json"),
                                   root.filePath("none"));
        ASSERT_EQ(store.Write({{"width", 470},
                               {"LameOptionName1", "My set"},
                               {"LameOptionString1", "-b 32"},
                               {"lamename", "APS"}}),
                  QString());
    }

    QStringList Choices(const QString& typed)
    {
        QProcess bash;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("COMPLETION_SCRIPT", COMPLETION_SCRIPT);
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        environment.insert("LC_ALL", "C.UTF-8");
        bash.setProcessEnvironment(environment);
        bash.setWorkingDirectory(root.filePath("music"));
        bash.start("bash", {"-c", Complete, "bash", QStringLiteral(QUARLOW_CLI " ") + typed});
        EXPECT_TRUE(bash.waitForFinished());
        EXPECT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().toStdString();
        QStringList choices =
            QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        choices.sort();
        return choices;
    }

    QTemporaryDir root;
};

TEST_P(CompletionTest, OffersWhatFitsTheWord)
{
    EXPECT_EQ(Choices(GetParam().typed), GetParam().choices);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CompletionTest,
    ::testing::Values(TCompletionCase{"options", "--save", {"--save-to", "--save-to-source"}},
                      TCompletionCase{"fixed_presets", "--preset A", {"APS", "APX"}},
                      // Quoted as the shell needs it, so the choice is taken as one word.
                      TCompletionCase{"preset_with_blanks", "--preset 12", {"128\\ kb\\ cbr"}},
                      TCompletionCase{"custom_preset", "--preset M", {"My\\ set"}},
                      TCompletionCase{"preset_after_equals", "--preset=I", {"Insane"}},
                      TCompletionCase{"folders_for_a_tool_folder", "--flac-dir ", {"cd 2", "cd1"}},
                      TCompletionCase{"folders_to_save_to", "--save-to c", {"cd 2", "cd1"}},
                      TCompletionCase{
                          "sources_and_folders", "", {"a.flac", "b.ape", "c.WAV", "cd 2", "cd1"}},
                      TCompletionCase{"nothing_after_help", "--help ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

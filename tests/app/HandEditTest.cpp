// Kestrun.xml edited by hand while Kestrun runs.

#include "tests/app/MainWindowFixture.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

std::string Document(const Texts& programs)
{
    std::string text;
    for (const std::string& name : programs)
        text += Program(name, Task("Wait", "1"));
    return kestrun::test::Document(text, "", "Kestrun.xsd");
}

class HandEditTest : public MainWindowFixture {
protected:
    // Writes the file in place, or into a new file renamed over it as many editors do.
    void Edit(const std::string& text, bool byRename)
    {
        if (!byRename) {
            std::ofstream(folder / "Kestrun.xml", std::ios::binary | std::ios::trunc) << text;
            return;
        }
        folder.Write(".Kestrun.xml.swp", text);
        fs::rename(folder / ".Kestrun.xml.swp", folder / "Kestrun.xml");
    }
    bool Eventually(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }
    std::vector<fs::path> Copies() const
    {
        std::vector<fs::path> copies;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            if (entry.path().filename().string().starts_with("Kestrun (Kestrun's version of "))
                copies.push_back(entry.path());
        return copies;
    }
};

TEST_F(HandEditTest, WithoutChangesInKestrunTheWindowFollowsTheFile)
{
    for (const bool byRename : {false, true}) {
        SCOPED_TRACE(byRename ? "saved by rename" : "written in place");
        Load({{"Mine", {{"Wait", "1 seconds", "True"}}}, {"Other", {}}});
        window->cboPrograms->setCurrentIndex(1);
        window->RefreshSelectedProgram();
        Edit(Document({"Added", "Other", "Mine"}), byRename);
        EXPECT_TRUE(Eventually([&] { return ProgramEntries() == Texts{"Added", "Other", "Mine"}; }))
            << testing::PrintToString(ProgramEntries());
        EXPECT_EQ(w().SelectedProgramName(), "Other") << "the program shown stays selected";
        EXPECT_EQ(Listed(), Texts{"Wait|1 seconds|True"});
        EXPECT_FALSE(Dirty());

        Edit(Document({"Added"}), byRename);
        EXPECT_TRUE(Eventually([&] { return ProgramEntries() == Texts{"Added"}; }));
        EXPECT_EQ(w().SelectedIndex(), -1) << "with the program gone, none is selected";
        EXPECT_EQ(Listed(), Texts{});
        EXPECT_TRUE(Messages().empty());
    }
}

// A later start asks before the watch has seen the change: the check runs then.
TEST_F(HandEditTest, ARequestSeesTheFileAsItIsNow)
{
    Load({{"Mine", {}}});
    Edit(Document({"Mine", "Added"}), false);
    w().CheckDocumentOnDisk();
    EXPECT_EQ(w().ProgramNames(), (Texts{"Mine", "Added"}));
}

TEST_F(HandEditTest, ABadFileIsReportedOnceAndKestrunKeepsItsCopy)
{
    Load({{"Mine", {}}});
    Edit("<programs><program>", false);
    EXPECT_TRUE(Eventually([&] { return !Messages().empty(); }));
    Edit("<programs><program>", true);  // the same content again: no second report
    QTest::qWait(800);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages()[0].starts_with("Error: ")) << Messages()[0];
    EXPECT_TRUE(Messages()[0].ends_with("\n\nKestrun goes on with the programs it has.")) << Messages()[0];
    EXPECT_EQ(ProgramEntries(), Texts{"Mine"});
    EXPECT_TRUE(reporter.Silent());
}

// Unsaved changes and a hand edit: one question, and whatever the answer no
// text is lost without the user choosing so.
TEST_F(HandEditTest, WithChangesInKestrunASaveAsksWhatToKeep)
{
    const std::string handEdit = Document({"Mine", "By hand"});
    const struct {
        const char* what;
        std::optional<MessageAnswer> answer;  // none: the box closed without a button
        Texts shown;                          // the programs Kestrun shows afterwards
        bool fileIsKestruns;
        std::size_t copies;
    } cases[] = {
        {"keep the file", MessageAnswer::Yes, {"Mine", "By hand"}, false, 0},
        {"replace it", MessageAnswer::No, {"Mine", "In Kestrun"}, true, 0},
        {"keep both", MessageAnswer::Cancel, {"Mine", "By hand"}, false, 1},
        {"closed", std::nullopt, {"Mine", "By hand"}, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const fs::path& copy : Copies())
            fs::remove(copy);
        dialogs.shown.clear();
        Load({{"Mine", {}}});
        dialogs.inputs.push_back("In Kestrun");
        w().cmdAddProgram_Click();
        ASSERT_TRUE(Dirty());
        const std::string kestruns = w().Document()->Serialize();
        Edit(handEdit, true);
        QTest::qWait(500);
        EXPECT_EQ(ProgramEntries(), (Texts{"Mine", "In Kestrun"})) << "no reload over unsaved changes";
        if (c.answer)
            dialogs.answers.push_back(*c.answer);
        w().cmdClose_Click();
        ASSERT_FALSE(Messages().empty());
        EXPECT_TRUE(Messages()[0].find("was changed outside Kestrun") != std::string::npos) << Messages()[0];
        EXPECT_EQ(dialogs.shown[1].buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(ProgramEntries(), c.shown);
        EXPECT_EQ(folder.Read("Kestrun.xml"), c.fileIsKestruns ? kestruns : handEdit);
        ASSERT_EQ(Copies().size(), c.copies);
        if (c.copies) {
            EXPECT_EQ(folder.Read(Copies()[0].filename().string()), kestruns);
            EXPECT_EQ(Messages().back(), "Kestrun's version of the programs is saved as [" + Copies()[0].string() + "].");
        }
        EXPECT_FALSE(Dirty());
    }
}

// The same content written again, or only touched, is no change; another of
// the same size and time is found by its hash before a save.
TEST(DocumentOnDiskTest, ChangesAreFoundByContent)
{
    TempFolder folder;
    RecordingReporter reporter;
    folder.Write("Kestrun.xml", Document({"Abc"}));
    TaskDocument document(folder.path(), reporter);
    ASSERT_TRUE(document.Load());
    EXPECT_FALSE(document.ChangedOnDisk(true));
    folder.Write("Kestrun.xml", Document({"Abc"}));
    EXPECT_FALSE(document.ChangedOnDisk(false));
    struct stat before {};
    ::stat((folder / "Kestrun.xml").c_str(), &before);
    folder.Write("Kestrun.xml", Document({"Xyz"}));
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, (folder / "Kestrun.xml").c_str(), times, 0);
    EXPECT_TRUE(document.ChangedOnDisk(true));
    document.SaveTaskDocument(reporter);
    EXPECT_FALSE(document.ChangedOnDisk(true)) << "its own save is no change";
}

}  // namespace
}  // namespace kestrun::test

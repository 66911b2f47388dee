// The configuration window: loading from the store at every opening, the folder rules, the size
// list's filter, and Apply and OK handing the saved values to the main window.

#include <QAction>
#include <QPlainTextEdit>
#include <QTimer>
#include <filesystem>

#include "gui/Application.h"
#include "gui/ConfigWindow.h"
#include "platform/RegistryHive.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

const std::string kHiveHead =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\software\\Kestrava\\File Splitter]\n";

class ConfigTest : public MainWindowFixture {
  protected:
    // The main window and the configuration window, created as start-up creates them; the
    // configuration window goes with the main window.
    ConfigWindow& CreateBoth() {
        m_config = StartAll().config;
        return *m_config;
    }
    // Shows the window as its modal opening does, without waiting for it to close.
    ConfigWindow& Open() {
        m_config->show();
        return *m_config;
    }
    ConfigWindow& Config() { return *m_config; }

    Settings Stored() {
        Settings values;
        LoadConfigValues(*registry, values);
        return values;
    }
    void WriteHive(const std::string& values) {
        std::filesystem::create_directories(std::filesystem::path(hivePath).parent_path());
        WriteFile(hivePath, kHiveHead + values + "\n");
    }

    static std::string Text(const QPlainTextEdit* memo) { return FromQ(memo->toPlainText()); }
    using MainWindowFixture::Text;

  private:
    ConfigWindow* m_config = nullptr;
};

TEST_F(ConfigTest, AFirstOpeningShowsTheDefaultsWithApplyOff) {
    ConfigWindow& config = CreateBoth();
    EXPECT_FALSE(config.isVisible());
    EXPECT_FALSE(config.applyButton->isEnabled());
    EXPECT_EQ(config.size(), QSize(321, 352));
    EXPECT_EQ(config.minimumSize(), config.maximumSize());
    EXPECT_TRUE(config.okButton->isDefault());
    EXPECT_TRUE(config.defaultSplitFolderEdit->isReadOnly());
    Open();
    EXPECT_FALSE(config.splitToFolderBox->isChecked());
    EXPECT_FALSE(config.restoreToFolderBox->isChecked());
    EXPECT_EQ(Text(config.defaultSplitFolderEdit), "");
    EXPECT_EQ(Text(config.defaultRestoreFolderEdit), "");
    EXPECT_EQ(Text(config.splitSizesEdit), "1420,663552,714752");
    EXPECT_FALSE(config.applyButton->isEnabled());
    EXPECT_EQ(config.focusWidget(), config.okButton);
    EXPECT_TRUE(gui.boxes.empty());
    // Opening writes nothing, and creates no settings file.
    EXPECT_FALSE(Exists(hivePath));
}

TEST_F(ConfigTest, ASwitchWithoutItsFolderCannotBeTurnedOn) {
    StoreSettings({false, false, "", "/restore", DefaultSplitSizes});
    ConfigWindow& config = CreateBoth();
    Open();
    QTest::mouseClick(config.splitToFolderBox, Qt::LeftButton);
    EXPECT_FALSE(config.splitToFolderBox->isChecked());
    EXPECT_FALSE(config.applyButton->isEnabled());

    // With its folder set, each click toggles the switch and enables Apply.
    QTest::mouseClick(config.restoreToFolderBox, Qt::LeftButton);
    EXPECT_TRUE(config.restoreToFolderBox->isChecked());
    EXPECT_TRUE(config.applyButton->isEnabled());
    config.applyButton->setEnabled(false);
    QTest::mouseClick(config.restoreToFolderBox, Qt::LeftButton);
    EXPECT_FALSE(config.restoreToFolderBox->isChecked());
    EXPECT_TRUE(config.applyButton->isEnabled());
}

TEST_F(ConfigTest, AChosenFolderFillsItsFieldAndTurnsItsSwitchOn) {
    StoreSettings({false, false, "", "/old/restore", DefaultSplitSizes});
    ConfigWindow& config = CreateBoth();
    Open();
    gui.folderAnswer = dir.Path();
    QTest::mouseClick(config.browseDefaultRestoreFolderButton, Qt::LeftButton);
    ASSERT_EQ(gui.folderRequests.size(), 1u);
    EXPECT_EQ(gui.folderRequests[0].title, "Select destination folder");
    EXPECT_EQ(gui.folderRequests[0].argument, "/old/restore");
    EXPECT_EQ(Text(config.defaultRestoreFolderEdit), dir.Path());
    EXPECT_TRUE(config.restoreToFolderBox->isChecked());
    EXPECT_TRUE(config.applyButton->isEnabled());
    EXPECT_EQ(Text(config.defaultSplitFolderEdit), "");
    EXPECT_FALSE(config.splitToFolderBox->isChecked());
}

TEST_F(ConfigTest, CancellingTheFolderPickerChangesNothing) {
    StoreSettings({true, false, "/split", "", DefaultSplitSizes});
    ConfigWindow& config = CreateBoth();
    Open();
    gui.folderAnswer.reset();
    for (QPushButton* button :
         {config.browseDefaultSplitFolderButton, config.browseDefaultRestoreFolderButton})
        QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(gui.folderRequests.size(), 2u);
    EXPECT_EQ(Text(config.defaultSplitFolderEdit), "/split");
    EXPECT_TRUE(config.splitToFolderBox->isChecked());
    EXPECT_EQ(Text(config.defaultRestoreFolderEdit), "");
    EXPECT_FALSE(config.restoreToFolderBox->isChecked());
    EXPECT_FALSE(config.applyButton->isEnabled());
}

TEST_F(ConfigTest, ClearEmptiesBothFoldersAndLeavesTheSizes) {
    StoreSettings({true, true, "/split", "/restore", "5,6"});
    ConfigWindow& config = CreateBoth();
    Open();
    QTest::mouseClick(config.clearFoldersButton, Qt::LeftButton);
    EXPECT_EQ(Text(config.defaultSplitFolderEdit), "");
    EXPECT_EQ(Text(config.defaultRestoreFolderEdit), "");
    EXPECT_FALSE(config.splitToFolderBox->isChecked());
    EXPECT_FALSE(config.restoreToFolderBox->isChecked());
    EXPECT_EQ(Text(config.splitSizesEdit), "5,6");
    EXPECT_TRUE(config.applyButton->isEnabled());
}

TEST_F(ConfigTest, TheSizeListTakesOnlyDigitsUnitsCommasAndBackspace) {
    StoreSettings({false, false, "", "", ""});
    ConfigWindow& config = CreateBoth();
    Open();
    QTest::keyClicks(config.splitSizesEdit, QStringLiteral("a 1.-2M,x3\t"));
    EXPECT_EQ(Text(config.splitSizesEdit), "12M,3");
    EXPECT_TRUE(config.applyButton->isEnabled());
    QTest::keyClick(config.splitSizesEdit, Qt::Key_Backspace);
    QTest::keyClick(config.splitSizesEdit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(config.splitSizesEdit), "12M,");
    EXPECT_TRUE(config.isVisible());
}

TEST_F(ConfigTest, DefaultEnablesApplyAlsoWhenTheListIsAlreadyTheDefault) {
    ConfigWindow& config = CreateBoth();
    Open();
    QTest::mouseClick(config.defaultSizesButton, Qt::LeftButton);
    EXPECT_EQ(Text(config.splitSizesEdit), DefaultSplitSizes);
    EXPECT_TRUE(config.applyButton->isEnabled());

    config.splitSizesEdit->setPlainText(QStringLiteral("9"));
    QTest::mouseClick(config.defaultSizesButton, Qt::LeftButton);
    EXPECT_EQ(Text(config.splitSizesEdit), DefaultSplitSizes);
}

TEST_F(ConfigTest, OKWithNothingChangedWritesAllFiveAndHandsThemOver) {
    ConfigWindow& config = CreateBoth();
    // Stored behind the main window's back after its start-up load.
    StoreSettings({true, false, "/split", "", "100,200"});
    Open();
    ASSERT_FALSE(config.applyButton->isEnabled());
    QTest::mouseClick(config.okButton, Qt::LeftButton);
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ(config.result(), QDialog::Accepted);
    const std::string hive = HiveText(*ParseHive(ReadFile(hivePath)));
    for (const char* line : {"\"Split To Folder\"=\"1\"", "\"Split Folder Name\"=\"/split\"",
                             "\"Restore To Folder\"=\"0\"", "\"Restore Folder Name\"=\"\"",
                             "\"Split Sizes\"=\"100,200\""})
        EXPECT_NE(hive.find(line), std::string::npos) << line;
    EXPECT_EQ(Form()->SplitSizes(), (std::vector<std::string>{"100", "200"}));
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_EQ(settings.SplitFolderName, "/split");
    EXPECT_FALSE(settings.RestoreToFolder);
}

TEST_F(ConfigTest, ApplyReplacesTheSizeListWhileTheSizeBoxKeepsItsText) {
    ConfigWindow& config = CreateBoth();
    Form().splitMethodBox->setCurrentIndex(0);
    Form().splitSizeBox->setEditText(QStringLiteral("777"));
    Open();
    config.splitSizesEdit->setPlainText(QStringLiteral("64,,128"));
    gui.folderAnswer = dir.Path();
    QTest::mouseClick(config.browseDefaultSplitFolderButton, Qt::LeftButton);
    QTest::mouseClick(config.applyButton, Qt::LeftButton);

    EXPECT_TRUE(config.isVisible());
    EXPECT_FALSE(config.applyButton->isEnabled());
    EXPECT_EQ(config.focusWidget(), config.okButton);
    EXPECT_EQ(Form()->SplitSizes(), (std::vector<std::string>{"64", "", "128"}));
    EXPECT_EQ(Text(Form().splitSizeBox), "777");
    EXPECT_EQ(Form().splitSizeBox->currentIndex(), -1);
    EXPECT_TRUE(gui.boxes.empty());
    EXPECT_TRUE(settings.SplitToFolder);
    EXPECT_EQ(settings.SplitFolderName, dir.Path());
    EXPECT_EQ(Stored().SplitSizes, "64,,128");

    // The next file put into the Split tab gets the new default folder.
    const std::string file = MakeFile("holiday.avi", 3000);
    gui.fileAnswer = file;
    QTest::mouseClick(config.okButton, Qt::LeftButton);
    QTest::mouseClick(Form().browseSourceButton, Qt::LeftButton);
    EXPECT_EQ(Text(Form().sourceFileEdit), file);
    EXPECT_EQ(Text(Form().splitFolderEdit), dir.Path());
}

TEST_F(ConfigTest, AStoredSwitchWithAnEmptyFolderComesUpCleared) {
    StoreSettings({true, true, "", "/restore", DefaultSplitSizes});
    ConfigWindow& config = CreateBoth();
    Open();
    EXPECT_FALSE(config.splitToFolderBox->isChecked());
    EXPECT_TRUE(config.restoreToFolderBox->isChecked());
    EXPECT_FALSE(config.applyButton->isEnabled());
}

TEST_F(ConfigTest, ReopeningAfterCancelShowsTheStoredValues) {
    StoreSettings({true, false, "/split", "", "5"});
    ConfigWindow& config = CreateBoth();
    const std::vector<std::string> sizesBefore = Form()->SplitSizes();
    Open();
    QTest::mouseClick(config.clearFoldersButton, Qt::LeftButton);
    QTest::keyClicks(config.splitSizesEdit, QStringLiteral("7"));
    QTest::mouseClick(config.cancelButton, Qt::LeftButton);
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ(Stored().SplitFolderName, "/split");
    EXPECT_EQ(Form()->SplitSizes(), sizesBefore);

    Open();
    EXPECT_EQ(Text(config.defaultSplitFolderEdit), "/split");
    EXPECT_TRUE(config.splitToFolderBox->isChecked());
    EXPECT_EQ(Text(config.splitSizesEdit), "5");
    EXPECT_FALSE(config.applyButton->isEnabled());

    // Escape leaves without saving as well.
    QTest::keyClicks(config.splitSizesEdit, QStringLiteral("9"));
    QTest::keyClick(config.splitSizesEdit, Qt::Key_Escape);
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ(Stored().SplitSizes, "5");
}

TEST_F(ConfigTest, EnterInTheSizeListPressesOK) {
    ConfigWindow& config = CreateBoth();
    Open();
    config.splitSizesEdit->moveCursor(QTextCursor::End);
    QTest::keyClicks(config.splitSizesEdit, QStringLiteral(",2G,25MB"));
    QTest::keyClick(config.splitSizesEdit, Qt::Key_Return);
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ(Text(config.splitSizesEdit), "1420,663552,714752,2G,25MB");
    // Whole kilobytes are stored as such, which earlier versions read too.
    EXPECT_EQ(Stored().SplitSizes, "1420,663552,714752,2097152,25MB");
    EXPECT_EQ(Form()->SplitSizes().back(), "25MB");
}

TEST_F(ConfigTest, AFailedSaveIsReportedAndKeepsTheWindowOpenWithNothingHandedOver) {
    ConfigWindow& config = CreateBoth();
    const std::vector<std::string> sizesBefore = Form()->SplitSizes();
    Open();
    gui.folderAnswer = dir.Path();
    QTest::mouseClick(config.browseDefaultSplitFolderButton, Qt::LeftButton);
    config.splitSizesEdit->setPlainText(QStringLiteral("3"));
    // A folder where the hive belongs: the store refuses every change.
    std::filesystem::remove(hivePath);
    std::filesystem::create_directories(hivePath);

    QTest::mouseClick(config.okButton, Qt::LeftButton);
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].caption, "Kestrava File Splitter");
    EXPECT_EQ(gui.boxes[0].text, "Failed to create key File Splitter.");
    EXPECT_EQ(gui.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(config.isVisible());
    EXPECT_TRUE(config.applyButton->isEnabled());
    EXPECT_EQ(Form()->SplitSizes(), sizesBefore);
    EXPECT_FALSE(settings.SplitToFolder);
    EXPECT_EQ(settings.SplitFolderName, "");
    EXPECT_EQ(Text(config.splitSizesEdit), "3");
}

TEST_F(ConfigTest, AFailedLoadIsReportedAndTheWindowOpensWithWhatWasRead) {
    ConfigWindow& config = CreateBoth();
    config.splitSizesEdit->setPlainText(QStringLiteral("held"));
    config.applyButton->setEnabled(false);
    WriteHive(
        "\"Split Folder Name\"=\"/split\"\n\"Restore Folder Name\"=\"/restore\"\n"
        "\"Split To Folder\"=\"1\"\n\"Restore To Folder\"=hex:01,00,00,00,00\n"
        "\"Split Sizes\"=\"5\"\n");
    Open();
    ASSERT_EQ(gui.boxes.size(), 1u);
    EXPECT_EQ(gui.boxes[0].text, "Failed to get data for 'Restore To Folder'");
    EXPECT_TRUE(config.isVisible());
    EXPECT_EQ(Text(config.defaultSplitFolderEdit), "/split");
    EXPECT_EQ(Text(config.defaultRestoreFolderEdit), "/restore");
    EXPECT_TRUE(config.splitToFolderBox->isChecked());
    EXPECT_FALSE(config.restoreToFolderBox->isChecked());
    EXPECT_EQ(Text(config.splitSizesEdit), "held");
    // The load's changes enabled Apply, and the failure kept it so.
    EXPECT_TRUE(config.applyButton->isEnabled());
}

TEST_F(ConfigTest, TheMenuOpensTheWindowOfStartUpModally) {
    const ProgramWindows windows = StartAll();
    MainForm form = Form();
    ASSERT_NE(windows.config, nullptr);
    EXPECT_EQ(windows.config->parent(), form.window);
    bool wasModal = false;
    QTimer::singleShot(0, windows.config, [&] {
        wasModal = QApplication::activeModalWidget() == windows.config;
        windows.config->cancelButton->click();
    });
    form.configurationAction->trigger();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(windows.config->isVisible());
}

}  // namespace
}  // namespace olvo::test

// The window while the engine works on a slow medium, as a screen reader reads it, and the map of
// a set.

#include <QAccessible>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>
#include <QTimer>

#include "gui/GuiProgress.h"
#include "gui/PieceMap.h"
#include "tests/gui/MainWindowFixture.h"

namespace olvo::test {
namespace {

namespace fs = std::filesystem;

// The fake file system with every write held to 5 MB/s, as a USB 2 stick takes it. Its files
// hand out no descriptors, so the copy goes through the buffer and its steps feel the pace.
class SlowFileSystem final : public FileSystemWrapper {
  public:
    using FileSystemWrapper::FileSystemWrapper;
    std::unique_ptr<OutputFile> Create(const std::string& path) override {
        return std::make_unique<SlowFile>(Target().Create(path));
    }
    std::uint64_t Copy(InputFile& from, OutputFile& to, std::uint64_t limit,
                       const std::function<void(std::uint64_t)>& progress) override {
        return BufferedCopy(from, to, limit, progress);
    }

  private:
    struct SlowFile final : OutputFile {
        explicit SlowFile(std::unique_ptr<OutputFile> file) : m_file(std::move(file)) {}
        void Write(const void* data, std::size_t size) override {
            QThread::usleep(static_cast<unsigned long>(size / 5));  // 5 bytes a microsecond
            m_file->Write(data, size);
        }
        void Flush() override { m_file->Flush(); }
        void Truncate(std::uint64_t size) override { m_file->Truncate(size); }
        bool SetLastWriteTime(FileTime time) override { return m_file->SetLastWriteTime(time); }
        std::unique_ptr<OutputFile> m_file;
    };
};

class SlowMediumTest : public MainWindowFixture {};

// However the user cancels, the window stays live throughout and the split ends within half a
// second, leaving only what the engine's contract allows after a Cancel.
TEST_F(SlowMediumTest, TheWindowStaysLiveAndCancelEndsASplitWithinHalfASecond) {
    enum class Way { Button, Escape, CloseWindow };
    for (const Way way : {Way::Button, Way::Escape, Way::CloseWindow}) {
        SCOPED_TRACE(static_cast<int>(way));
        const std::string out = dir / ("out" + std::to_string(static_cast<int>(way)));
        fs::create_directories(out);
        const std::string source = MakeFile("film.iso", 40u << 20);
        SlowFileSystem slow(files);
        auto* window = new MainWindow({gui, *registry, slow, settings}, {source});
        MainForm form(*window);
        window->show();
        gui.folderAnswer = out;
        QTest::mouseClick(form.browseSplitFolderButton, Qt::LeftButton);
        form.splitMethodBox->setCurrentIndex(0);
        Retype(form.splitSizeBox->lineEdit(), "10240");

        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticker.start(100);
        QSet<QString> bytesShown;
        QTimer reader;
        QObject::connect(&reader, &QTimer::timeout, [&] {
            if (QWidget* progress = ProgressWindow())
                bytesShown.insert(progress->findChild<QLabel*>(QStringLiteral("lblBytes"))->text());
        });
        reader.start(20);

        QTest::mouseClick(form.actionButton, Qt::LeftButton);
        QTest::qWait(1500);
        ASSERT_TRUE(window->Busy());
        QWidget* progress = ProgressWindow();
        ASSERT_NE(progress, nullptr);
        // Four moves a second at least, over the last second and a half.
        EXPECT_GE(bytesShown.size(), 6) << bytesShown.size();

        const qint64 cancelledAt = clock.elapsed();
        QPointer<MainWindow> alive(window);
        if (way == Way::Button)
            QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                              Qt::LeftButton);
        else if (way == Way::Escape)
            QTest::keyClick(progress, Qt::Key_Escape);
        else
            window->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !alive || !alive->Busy(); }, 5000));
        EXPECT_LE(clock.elapsed() - cancelledAt, 500);
        QTest::qWait(150);
        ticker.stop();
        EXPECT_LE(longestGap, 300) << "the event loop stood still";

        // Pieces before the one it was working on whole, that one perhaps in part, and nothing
        // that would pass for a set.
        std::map<std::string, std::uintmax_t> left;
        for (const auto& entry : fs::directory_iterator(out))
            left[entry.path().filename().string()] = entry.file_size();
        EXPECT_EQ(left.count("film.iso.split"), 0u);
        EXPECT_EQ(left.count("film.iso.bat"), 0u);
        std::size_t k = 0;
        for (const auto& [name, size] : left) {
            EXPECT_EQ(name.substr(0, 6), "film.s") << name;
            if (++k < left.size()) {
                EXPECT_EQ(size, 10u << 20) << name;
            }
        }
        if (way == Way::CloseWindow) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(alive.isNull());
        } else {
            EXPECT_EQ(gui.TakeBoxTexts(), std::vector<std::string>{"Operation aborted!"});
            EXPECT_TRUE(form.actionButton->isEnabled());
            delete window;
        }
        gui.boxes.clear();
        fs::remove(source);
    }
}

// Every control of the windows a screen reader meets says what it is.
TEST_F(SlowMediumTest, EveryControlHasAnAccessibleNameAndItsRole) {
    MainForm form = Create();
    form->show();
    VerifyWindow verify(form.window);
    VerifyReport report;
    report.states = {PieceState::Whole, PieceState::Missing};
    report.warnings = {"no f.bin.sha256"};
    verify.ShowReport(report);
    GuiProgress progress;
    progress.Begin("Splitting File...", 3);
    progress.Notice("waiting for another split of f.bin into /tmp...");

    const std::set<QAccessible::Role> controls = {
        QAccessible::PushButton, QAccessible::EditableText, QAccessible::ComboBox,
        QAccessible::CheckBox,   QAccessible::PageTab,      QAccessible::ProgressBar,
        QAccessible::SpinBox};
    std::set<std::pair<std::string, QAccessible::Role>> found;
    int unnamed = 0;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node || node->state().invisible) return;
        const QString name = node->text(QAccessible::Name);
        if (controls.count(node->role())) {
            EXPECT_FALSE(name.trimmed().isEmpty())
                << node->role() << " "
                << FromQ(node->object() ? node->object()->objectName() : QString());
            unnamed += name.trimmed().isEmpty();
        }
        found.insert({FromQ(name), node->role()});
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
    };
    for (QWidget* window :
         {static_cast<QWidget*>(form.window), static_cast<QWidget*>(&verify), progress.Window()})
        walk(QAccessible::queryAccessibleInterface(window));
    EXPECT_EQ(unnamed, 0);
    const std::pair<std::string, QAccessible::Role> expected[] = {
        {"File to split", QAccessible::EditableText},
        {"Choose the file to split", QAccessible::PushButton},
        {"Split by", QAccessible::ComboBox},
        {"Split", QAccessible::PushButton},
        {"Split", QAccessible::PageTab},
        {"Close", QAccessible::PushButton},
        {"Progress", QAccessible::ProgressBar},
        {"Cancel", QAccessible::PushButton},
        {"OK", QAccessible::PushButton},
        {"waiting for another split of f.bin into /tmp...", QAccessible::StaticText},
    };
    for (const auto& item : expected) EXPECT_EQ(found.count(item), 1u) << item.first;
    progress.End();
}

// The map drawn as squares of the states' colours, and told as ranges.
TEST(PieceMapTest, SquaresTakeTheColourOfTheirStateAndTheTextFoldsRanges) {
    const auto W = PieceState::Whole, M = PieceState::Missing, D = PieceState::Damaged;
    const std::vector<PieceState> states = {W, W, M, D, W, D, M, M, W};
    PieceMap map;
    map.SetStates(states);
    map.resize(map.sizeHint());
    QImage picture(map.size(), QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    map.render(&picture);
    for (std::size_t i = 0; i < states.size(); ++i) {
        // Inside the square's edge, where every state shows its colour.
        const QPoint at = map.SquareRect(i).topLeft() + QPoint(1, 1);
        EXPECT_EQ(picture.pixelColor(at).rgb(), PieceColour(states[i]).rgb()) << i;
        // A missing piece is hollow.
        const QPoint middle = map.SquareRect(i).center();
        EXPECT_EQ(picture.pixelColor(middle).rgb() == PieceColour(states[i]).rgb(), states[i] == W)
            << i;
    }

    std::vector<PieceState> many(5000, W);
    many[40] = M;
    many[41] = D;
    for (std::size_t k = 4000; k < 4010; ++k) many[k] = D;
    const struct {
        std::vector<PieceState> states;
        std::string text;
    } cases[] = {
        {states, "Whole: 1-2, 5, 9; missing: 3, 7-8; damaged: 4, 6"},
        {{M}, "Missing: 1"},
        {many, "Whole: 1-40, 43-4000, 4011-5000; missing: 41; damaged: 42, 4001-4010"},
    };
    for (const auto& c : cases) EXPECT_EQ(PieceMapText(c.states), c.text);
    // Too many to draw: the text alone.
    map.SetStates(std::vector<PieceState>(PieceMap::kMaxDrawn + 1, W));
    EXPECT_FALSE(map.isVisibleTo(nullptr) && !map.isHidden());
}

}  // namespace
}  // namespace olvo::test

// The locator's dialogs on Qt's offscreen platform: what a search shows, the warning window's
// texts and answers, Esc and the close box, and F10 on the desktop window.
#include "LocatorTestSupport.h"
#include "TCodecLocatorDialog.h"
#include "TCodecStatus.h"
#include "TForm1.h"
#include "TFormWarn.h"
#include "TMainWindow.h"
#include "TestMedia.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <stdexcept>

namespace {

template <typename T> T& Child(const QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        throw std::runtime_error(std::string("no child ") + name);
    return *child;
}

TColor TextColor(const QWidget& widget)
{
    const QColor color = widget.palette().color(QPalette::WindowText);
    return {color.red(), color.green(), color.blue()};
}

// Runs what the user does once the event loop of the dialog about to open is running.
void WhenOpen(const std::function<void()>& user)
{
    QTimer::singleShot(0, user);
}

// The warning window that is open now: the texts it shows; then the user answers.
QStringList AnswerWarning(bool yes)
{
    auto* warn = dynamic_cast<TFormWarn*>(QApplication::activeModalWidget());
    if (!warn)
        return {QStringLiteral("no warning window")};
    QStringList shown{warn->windowTitle()};
    for (const char* name : {"stxtStatus", "stxtQueryOk", "stxtQueryCancel"}) {
        if (!Child<QLabel>(*warn, name).isHidden())
            shown << Child<QLabel>(*warn, name).text();
    }
    Child<QPushButton>(*warn, yes ? "odbtnYES" : "odbtnNO").click();
    return shown;
}

class LocatorDialogTest : public ::testing::Test
{
protected:
    LocatorDialogTest()
    {
        locator.ListDrives = [this] { return Drives; };
    }

    bool Run(const std::function<void()>& user)
    {
        WhenOpen(user);
        return dialog.run({40, 30});
    }
    template <typename T> T& Get(const char* name) { return Child<T>(dialog, name); }
    QString LineText(const char* name) { return Get<QLabel>(name).text(); }

    TTree tree;
    QStringList Drives{tree.Root()};
    TFormCodec locator;
    TCodecLocatorDialog dialog{nullptr, locator};
};

TEST_F(LocatorDialogTest, ASearchShowsItsMatchesAndOkAsksAboutMissingTools)
{
    tree.File("a/lame");
    tree.File("b/lame");
    tree.File("x/flac");
    tree.File("x/metaflac");
    std::array<bool, 3> searching{};
    QStringList warning;
    const bool ok = Run([&] {
        EXPECT_EQ(dialog.windowTitle(),
                  QStringLiteral("Quarlow - Find Codec locations on the local hard drives"));
        EXPECT_EQ(dialog.height(), TFormCodec::IdleHeight);
        EXPECT_EQ(dialog.width(), TFormCodec::DialogWidth);
        EXPECT_EQ(dialog.pos(), QPoint(40, 30));
        EXPECT_TRUE(Get<QPushButton>("odbtnStop").isHidden());
        WhenOpen([&] {
            searching = {dialog.height() == TFormCodec::SearchHeight,
                         !Get<QPushButton>("odbtnStop").isHidden(),
                         Get<QPushButton>("odbtnSave").isHidden()};
        });
        Get<QToolButton>("sbtLAMEfind").click();

        QComboBox& entry = Get<QComboBox>("cbxLAME");
        EXPECT_EQ(entry.count(), 2);
        EXPECT_EQ(entry.itemText(0), tree.Path("a/lame"));
        EXPECT_EQ(entry.currentText(), tree.Path("b/lame"));
        EXPECT_EQ(LineText("lblNrOfCodecs"), QStringLiteral("lame: 2 found"));
        EXPECT_EQ(TextColor(Get<QLabel>("lblLAME")), FoundColor);
        EXPECT_EQ(TextColor(Get<QLabel>("lblFLAC")), NotUsableColor);
        EXPECT_EQ(dialog.height(), TFormCodec::IdleHeight);
        EXPECT_FALSE(Get<QPushButton>("odbtnSave").isHidden());

        Get<QToolButton>("sbtFLACfind").click();
        EXPECT_EQ(Get<QComboBox>("cbxFLAC").currentText(),
                  tree.Path("x/flac") + QStringLiteral(" +++++ metaflac"));
        EXPECT_EQ(LineText("lblNrOfMeta"), QStringLiteral("metaflac: 1 found"));
        EXPECT_EQ(TextColor(Get<QLabel>("lblFLAC")), FoundColor);
        EXPECT_EQ(TextColor(Get<QLabel>("lblMETA")), FoundColor);
        WhenOpen([&] {
            EXPECT_EQ(QApplication::activeModalWidget()->pos(), QPoint(40 + 174, 30 + 126));
            warning = AnswerWarning(true);
        });
        Get<QPushButton>("odbtnSave").click();
    });
    EXPECT_EQ(searching, (std::array{true, true, true}));
    EXPECT_EQ(warning, (QStringList{"WARNING", "There are codecs missing.",
                                    "Do you want to save it as it is?"}));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(locator.EntryText(TCodecRow::Lame), tree.Path("b/lame"));
    EXPECT_EQ(locator.EntryText(TCodecRow::Ape), QString());
}

// The path line's message after a search without a match is drawn: the dialog is tall
// enough for it, and nothing hides any of it until a reset.
TEST_F(LocatorDialogTest, NoCodecFoundIsInSightUntilAReset)
{
    tree.File("a/flac");
    QLabel& line = Get<QLabel>("lblPathOfAudioCodecs");
    Run([&] {
        Get<QToolButton>("sbtLAMEfind").click();
        QCoreApplication::processEvents();
        EXPECT_EQ(line.text(), QStringLiteral("no codec found; try to find one on the internet"));
        EXPECT_EQ(TextColor(line), NotUsableColor);
        EXPECT_TRUE(line.isVisible());
        EXPECT_TRUE(dialog.rect().contains(line.geometry()))
            << "dialog height " << dialog.height() << ", line bottom " << line.geometry().bottom();
        EXPECT_EQ(line.visibleRegion(), QRegion(line.rect())) << "no part of the line is cut";

        Get<QToolButton>("sbtLAMEcancel").click();
        EXPECT_EQ(line.text(), QString());
        EXPECT_EQ(dialog.height(), TFormCodec::IdleHeight);
        Get<QPushButton>("odbtnCancel").click();
    });
}

TEST_F(LocatorDialogTest, EscapeAndTheCloseBoxAskBeforeChangesAreDiscarded)
{
    const QString lame = tree.File("x/lame");
    locator.SetEntryText(TCodecRow::Lame, lame);
    QStringList first;
    QStringList second;
    const bool ok = Run([&] {
        QLineEdit& typing = *Get<QComboBox>("cbxLAME").lineEdit();
        QTest::keyClicks(&typing, QStringLiteral("2"));
        EXPECT_EQ(locator.EntryText(TCodecRow::Lame), lame + u'2');
        EXPECT_EQ(TextColor(Get<QLabel>("lblLAME")), FoundColor) << "still x/ and its lame";
        WhenOpen([&] { first = AnswerWarning(false); });
        QTest::keyClick(&typing, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible());
        WhenOpen([&] { second = AnswerWarning(true); });
        dialog.close();
    });
    const QStringList discard{"WARNING", "Do you want to discard the changes?"};
    EXPECT_EQ(first, discard);
    EXPECT_EQ(second, discard);
    EXPECT_TRUE(ok) << "a dialog that closes ends with OK";
    EXPECT_EQ(locator.EntryText(TCodecRow::Lame), lame);
    EXPECT_EQ(Get<QComboBox>("cbxLAME").currentText(), lame);
}

TEST_F(LocatorDialogTest, StopEndsASearch)
{
    tree.File("one/lame");
    tree.File("two/lame");
    Drives = {tree.Path("one"), tree.Path("two")};
    Run([&] {
        Get<QToolButton>("sbtAPEfind").click();
        EXPECT_EQ(LineText("lblPathOfAudioCodecs"),
                  QStringLiteral("no codec found; try to find one on the internet"));
        EXPECT_EQ(TextColor(Get<QLabel>("lblPathOfAudioCodecs")), NotUsableColor);
        WhenOpen([&] { Get<QPushButton>("odbtnStop").click(); });
        Get<QToolButton>("sbtLAMEfind").click();
        EXPECT_EQ(Get<QComboBox>("cbxLAME").count(), 1);
        EXPECT_EQ(LineText("lblPathOfAudioCodecs"), QString());
        EXPECT_TRUE(Get<QPushButton>("odbtnStop").isHidden());
        EXPECT_TRUE(Get<QToolButton>("sbtLAMEfind").isEnabled());
        WhenOpen([] { AnswerWarning(true); });
        Get<QPushButton>("odbtnCancel").click();
    });
}

// The desktop window: F10 opens the locator over the window's width, the window hides while
// it is open and comes back after it; a close request meanwhile ends both.
class LocatorInMainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.attach(form);
        form.UserFolder = tree.Folder("home") + u'/';
        form.FormCreate();
        window.move(300, 200);
        window.show();
    }
    void PressF10() { Child<QAction>(window, "Checkcodecpaths1").trigger(); }
    QString Stored(const char* name) const
    {
        const QString key = QString::fromLatin1(name);
        return TestStore(tree.Root()).OpenForReading(key).readString(key).Value;
    }

    TTree tree;
    TMainWindow window;
    TForm1 form{window, TestStore(tree.Root())};
};

TEST_F(LocatorInMainWindowTest, F10OpensTheLocatorWhileTheWindowHides)
{
    // Where the whole dialog fits on the screen.
    window.move(150, 200);
    const QPoint origin = TFormCodec::Origin(window.frameGeometry());
    WhenOpen([&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QStringLiteral("TFormCodec"));
        EXPECT_EQ(dialog->pos(), origin);
        EXPECT_FALSE(window.isVisible());
        Child<QPushButton>(*dialog, "odbtnCancel").click();
    });
    PressF10();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(form.CodecLocator.IsOpen());
    EXPECT_EQ(Stored("LamePath"), form.LamePath) << "the settings were stored";
}

// What is left open after a close request fails the test and is closed, instead of hanging.
void ExpectNothingOpen()
{
    while (auto* open = dynamic_cast<QDialog*>(QApplication::activeModalWidget())) {
        ADD_FAILURE() << "the close request left " << open->objectName().toStdString() << " open";
        open->done(QDialog::Rejected);
    }
}

TEST_F(LocatorInMainWindowTest, ACloseRequestEndsTheLocatorAndTheWindow)
{
    WhenOpen([&] {
        ASSERT_NE(QApplication::activeModalWidget(), nullptr);
        window.close();
        ExpectNothingOpen();
    });
    PressF10();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(form.CodecLocator.IsOpen());
    EXPECT_EQ(Stored("LamePath"), form.LamePath) << "closing saved the settings";
}

// Also while the locator asks its question: the question ends unanswered, then the locator.
TEST_F(LocatorInMainWindowTest, ACloseRequestEndsTheLocatorsQuestionToo)
{
    QString asking;
    WhenOpen([&] {
        QWidget& dialog = *QApplication::activeModalWidget();
        QTest::keyClicks(Child<QComboBox>(dialog, "cbxLAME").lineEdit(), QStringLiteral("x"));
        WhenOpen([&] {
            asking = QApplication::activeModalWidget()->objectName();
            window.close();
            ExpectNothingOpen();
        });
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    PressF10();
    EXPECT_EQ(asking, QStringLiteral("TFormWarn"));
    EXPECT_FALSE(window.isVisible());
    EXPECT_NE(form.LamePath, form.CodecLocator.EntryText(TCodecRow::Lame)) << "nothing taken";
}

} // namespace

// A file handed to the window from its command line or dropped on it sets the window up; Go
// then does the rest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "control/messages.h"
#include "support/scripted_message_box.h"
#include "support/series.h"
#include "support/temp_dir.h"
#include "support/ui_wait.h"
#include "ui/main/main_window.h"

namespace tessarel {
namespace {

class OpenFileTest : public testing::Test {
  protected:
    void SetUp() override {
        WriteSeries(dir / "movie", Pattern(1000), 100);
        WriteBytes(dir / "notes.txt", Pattern(50));
        window = std::make_unique<MainWindow>(&answers);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    std::string Open() const { return window->txtOpen->text().toStdString(); }
    std::string Save() const { return window->txtSave->text().toStdString(); }

    TempDir dir;
    ScriptedMessageBox answers;
    std::unique_ptr<MainWindow> window;
};

TEST_F(OpenFileTest, EachKindOfFileSetsTheModeAndBothNames) {
    window->OpenFile(dir / "movie.m00");
    EXPECT_TRUE(window->optJoin->isChecked());
    EXPECT_FALSE(window->txtApprox->isEnabled());
    EXPECT_EQ(Open(), dir / "movie.m00");
    EXPECT_EQ(Save(), dir / "movie");

    window->OpenFile(dir / "notes.txt");
    EXPECT_TRUE(window->optSplit->isChecked());
    EXPECT_TRUE(window->txtApprox->isEnabled());
    EXPECT_EQ(Open(), dir / "notes.txt");
    EXPECT_EQ(Save(), dir / "notes.txt.m00");

    window->OpenFile(dir / "movie.m04");
    EXPECT_TRUE(window->optJoin->isChecked());
    EXPECT_EQ(Open(), dir / "movie.m00");
    EXPECT_EQ(Save(), dir / "movie");
    EXPECT_TRUE(answers.shown.empty()) << "nothing runs until Go";
    EXPECT_FALSE(std::filesystem::exists(dir / "movie"));
}

TEST_F(OpenFileTest, AFileDroppedOnTheWindowIsOpenedSo) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "movie.m00"))});
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_TRUE(window->optJoin->isChecked());
    EXPECT_EQ(Open(), dir / "movie.m00");
    EXPECT_EQ(Save(), dir / "movie");

    // Two files, or a folder, are refused with what to drop instead; what is no file is not
    // taken at all.
    std::filesystem::create_directory(dir / "Photos");
    const struct {
        QList<QUrl> urls;
        std::string said;
    } refusals[] = {
        {{QUrl::fromLocalFile("/a"), QUrl::fromLocalFile("/b")}, kDropOneFileMessage},
        {{QUrl::fromLocalFile(QString::fromStdString(dir / "Photos"))},
         "Photos is a folder. Drop a file to split, or the first piece of a series to join."},
    };
    for (const auto& r : refusals) {
        QMimeData dropped;
        dropped.setUrls(r.urls);
        answers.Answer(kAnswerOk);
        QDragEnterEvent entered(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &entered);
        EXPECT_TRUE(entered.isAccepted()) << "taken, to be refused with a word";
        QDropEvent refused(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &refused);
        ASSERT_TRUE(WaitUntil([&] { return !answers.shown.empty(); }, "the refusal"));
        EXPECT_EQ(answers.shown.back().prompt, r.said);
        answers.shown.clear();
        EXPECT_EQ(Open(), dir / "movie.m00");
    }
    QMimeData text;
    text.setText("hello");
    QDropEvent no_file(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &no_file);
    QApplication::processEvents();
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_EQ(Open(), dir / "movie.m00");
}

TEST_F(OpenFileTest, AnOpenedSeriesJoinsWithOneGo) {
    window->OpenFile(dir / "movie.m03");
    answers.Answer(kAnswerOk);
    const int before = window->go_requests_done();
    QTest::mouseClick(window->cmdGo, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return window->go_requests_done() > before; }, "the join"));
    EXPECT_EQ(ReadBytes(dir / "movie"), Pattern(1000));
}

}  // namespace
}  // namespace tessarel

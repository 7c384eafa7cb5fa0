// Choosing files with the Open... and Save As... buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "support/scripted_file_dialog.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"
#include "support/ui_wait.h"
#include "ui/main/main_window.h"
#include "ui/platform/qt_file_dialog.h"

namespace tessarel {
namespace {

class FileSelectionTest : public testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<MainWindow>(&answers);
        auto scripted = std::make_unique<ScriptedFileDialog>();
        dialog = scripted.get();
        window->SetFileDialog(std::move(scripted));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window->hide(); }

    ScriptedMessageBox answers;
    std::unique_ptr<MainWindow> window;
    ScriptedFileDialog* dialog = nullptr;
};

TEST_F(FileSelectionTest, EachModeAndButtonSetsTheDialogUpItsOwnWay) {
    MainWindow& w = *window;
    QTest::mouseClick(w.cmdOpen, Qt::LeftButton);
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    QTest::mouseClick(w.optJoin, Qt::LeftButton);
    QTest::mouseClick(w.cmdOpen, Qt::LeftButton);
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    ASSERT_EQ(dialog->showings.size(), 4u);
    const auto& s = dialog->showings;
    EXPECT_FALSE(s[0].save);
    EXPECT_EQ(s[0].title, "Select a File to Split...");
    EXPECT_EQ(s[0].filter, "All Files (*.*)|*.*");
    EXPECT_TRUE(s[1].save);
    EXPECT_EQ(s[1].title, "Enter File Name...");
    EXPECT_EQ(s[1].filter, "Splitted Files(*.m00)|*.m00");
    EXPECT_EQ(s[1].default_ext, "m00");
    EXPECT_EQ(s[2].title, "Select a File to Join...");
    EXPECT_EQ(s[2].filter, "Splitted Files(*.m00)|*.m00|All Files (*.*)|*.*");
    EXPECT_EQ(s[3].filter, "All Files (*.*)|*.*");
    for (const DialogShowing& showing : s) {
        EXPECT_TRUE(showing.cancel_error);
        EXPECT_EQ(showing.file_name, "");
    }
    // "m00" belongs to a split's Save As only: it must not reach a join's dialogs.
    EXPECT_EQ(s[2].default_ext, "");
    EXPECT_EQ(s[3].default_ext, "");
}

TEST_F(FileSelectionTest, CancelKeepsTheFieldAndAChoiceEndsWithTheCaretAfterIt) {
    MainWindow& w = *window;
    w.txtOpen->setText("typed by hand");
    w.txtOpen->setCursorPosition(0);
    dialog->Answer(std::nullopt);
    QTest::mouseClick(w.cmdOpen, Qt::LeftButton);
    EXPECT_EQ(w.txtOpen->text(), "typed by hand");

    const std::string chosen = "/home/ann/a rather long folder name/with a long file name.bin";
    dialog->Answer(chosen);
    QTest::mouseClick(w.cmdOpen, Qt::LeftButton);
    EXPECT_EQ(w.txtOpen->text().toStdString(), chosen);
    EXPECT_EQ(w.txtOpen->cursorPosition(), w.txtOpen->text().length());

    dialog->Answer("/tmp/ünïcödé.m00");
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    EXPECT_EQ(w.txtSave->text(), QString("/tmp/ünïcödé.m00"));
    EXPECT_EQ(w.txtSave->cursorPosition(), w.txtSave->text().length());
}

TEST(QtNameFilters, PairsBecomeQtFiltersAndStarDotStarMeansEveryFile) {
    EXPECT_EQ(QtNameFilters("Splitted Files(*.m00)|*.m00|All Files (*.*)|*.*"),
              (QStringList{"Splitted Files(*.m00)", "All Files (*)"}));
    EXPECT_EQ(QtNameFilters("Text|*.txt;*.log"), (QStringList{"Text (*.txt *.log)"}));
}

// Once the real dialog is up, does what answer says to it.
class DialogAnswer : public WhenModal {
  public:
    explicit DialogAnswer(const std::function<void(QFileDialog*)>& answer)
        : WhenModal(
              "the file dialog", [] { return static_cast<QWidget*>(QtFileDialog::Current()); },
              [answer](QWidget* d) { answer(static_cast<QFileDialog*>(d)); }) {}
};

// The real dialog: a name typed without extension gets ".m00" in a split's Save As only.
TEST(QtFileDialogTest, OnlyASplitsSaveAsAddsM00) {
    TempDir dir;
    ScriptedMessageBox answers;
    MainWindow window(&answers);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto type_movie = [&](QFileDialog* d) {
        d->setDirectory(QString::fromStdString(dir.path()));
        QLineEdit* name = d->findChild<QLineEdit*>("fileNameEdit");
        name->setText("movie");
        QTest::keyClick(name, Qt::Key_Return);
    };
    {
        DialogAnswer answer(type_movie);
        QTest::mouseClick(window.cmdSave, Qt::LeftButton);
    }
    EXPECT_EQ(window.txtSave->text().toStdString(), dir / "movie.m00");

    QTest::mouseClick(window.optJoin, Qt::LeftButton);
    {
        DialogAnswer answer(type_movie);
        QTest::mouseClick(window.cmdSave, Qt::LeftButton);
    }
    EXPECT_EQ(window.txtSave->text().toStdString(), dir / "movie");

    // Cancel in the real dialog leaves the field alone.
    window.txtSave->setText("kept");
    {
        DialogAnswer answer([](QFileDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
        QTest::mouseClick(window.cmdSave, Qt::LeftButton);
    }
    EXPECT_EQ(window.txtSave->text(), "kept");
    window.hide();
}

}  // namespace
}  // namespace tessarel

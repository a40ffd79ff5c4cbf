#include "platform/toolkit/DesktopDialogs.h"

#include "platform/toolkit/Window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace tt {
namespace {

    // Acts on the next file dialog from inside its own modal loop, as a user would.
    void whenDialogOpens(std::function<void(QFileDialog&)> act)
    {
        QTimer::singleShot(10, [act = std::move(act)] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                act(*dialog);
            } else {
                whenDialogOpens(act); // not shown yet
            }
        });
    }

    // Answers the next file dialog with path; openedIn gets the folder the dialog opened in.
    void choose(const QString& path, QString& openedIn)
    {
        whenDialogOpens([path, &openedIn](QFileDialog& dialog) {
            openedIn = dialog.directory().absolutePath();
            // Typed into the name field, then OK.
            auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
            if (name == nullptr) {
                ADD_FAILURE() << "the file dialog has no name field";
                dialog.reject();
                return;
            }
            name->setText(path);
            static_cast<QDialog&>(dialog).accept();
        });
    }

    TEST(DesktopDialogs, FileDialogsOpenWhereTheLastFileWasUsedButNeverInSystemFolders)
    {
        QTemporaryDir sounds;
        QTemporaryDir elsewhere;
        ASSERT_TRUE(sounds.isValid() && elsewhere.isValid());
        const QString wave = sounds.filePath("tune.wav");
        QFile(wave).open(QIODevice::WriteOnly);
        const QString other = elsewhere.filePath("other.wav");
        QFile(other).open(QIODevice::WriteOnly);

        Window window("TICKTRACE v1.0", 600, 420);
        DesktopDialogs dialogs(window);
        QString openedIn;

        choose(wave, openedIn);
        EXPECT_EQ(dialogs.openFile("Open Wavefile", "", "*.wav|*.wav"), wave.toStdString());
        dialogs.fileUsed(wave.toStdString()); // the program opened it

        // The export dialog starts beside the sound.
        choose(sounds.filePath("tune.txt"), openedIn);
        EXPECT_EQ(dialogs.saveFile("Save 1Bit", "", "*.txt|*.txt"),
            sounds.filePath("tune.txt").toStdString());
        EXPECT_EQ(openedIn, QDir(sounds.path()).absolutePath());

        // A file chosen but not used (refused, not written) moves no dialog.
        choose(other, openedIn);
        dialogs.openFile("Open Wavefile", "", "*.wav|*.wav");
        EXPECT_EQ(openedIn, QDir(sounds.path()).absolutePath());
        dialogs.fileUsed("/proc/tune.txt");
        choose(other, openedIn);
        dialogs.openFile("Open Wavefile", "", "*.wav|*.wav");
        EXPECT_EQ(openedIn, QDir(sounds.path()).absolutePath());
        dialogs.fileUsed(other.toStdString());

        // A proposal in a system folder is made in the last folder instead; a cancelled dialog
        // changes nothing.
        whenDialogOpens([&openedIn](QFileDialog& dialog) {
            openedIn = dialog.directory().absolutePath();
            dialog.reject();
        });
        EXPECT_EQ(dialogs.saveFile("Save 1Bit", "/dev/tune.txt", "*.txt|*.txt"), "");
        EXPECT_EQ(openedIn, QDir(elsewhere.path()).absolutePath());
    }

    TEST(DesktopDialogs, FiltersAreOfferedInOrderAndTextAskedWithItsProposal)
    {
        Window window("TICKTRACE v1.0", 600, 420);
        DesktopDialogs dialogs(window);
        QStringList offered;
        whenDialogOpens([&offered](QFileDialog& dialog) {
            offered = dialog.nameFilters();
            dialog.reject();
        });
        EXPECT_EQ(
            dialogs.openFile("Open Wavefile", "", "Sound files|*.flac *.wav;;*.wav|*.wav"), "");
        EXPECT_EQ(offered, (QStringList { "Sound files (*.flac *.wav)", "*.wav (*.wav)" }));

        // The file type chosen in a save dialog is told by its place in the filters.
        const QString target = QDir::temp().filePath("ticktrace-filter-test.h");
        whenDialogOpens([&target](QFileDialog& dialog) {
            dialog.selectNameFilter("*.h (*.h)");
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(target);
            static_cast<QDialog&>(dialog).accept();
        });
        std::size_t chosen = 99;
        EXPECT_EQ(dialogs.saveFile("Save 1Bit", "", "*.txt|*.txt;;*.h|*.h", &chosen),
            target.toStdString());
        EXPECT_EQ(chosen, 1u);

        // The proposal replaced by what is typed, then OK (spaces at the ends dropped); Cancel.
        const struct {
            const char* typed;
            bool accept;
            std::optional<std::string> answer;
        } cases[] = { { "16000", true, "16000" }, { " 16000000/1000 ", true, "16000000/1000" },
            { "8000", false, {} } };
        for (const auto& c : cases) {
            QString label;
            QString proposed;
            QTimer::singleShot(10, [&] {
                auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr) {
                    ADD_FAILURE() << "no text dialog";
                    return;
                }
                label = dialog->labelText();
                proposed = dialog->textValue();
                dialog->setTextValue(c.typed);
                c.accept ? dialog->accept() : dialog->reject();
            });
            EXPECT_EQ(dialogs.askText("Resample", "Rate in Hz", "44100"), c.answer) << c.typed;
            EXPECT_EQ(label, "Rate in Hz");
            EXPECT_EQ(proposed, "44100");
        }
    }

} // namespace
} // namespace tt

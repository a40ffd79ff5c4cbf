#include "platform/toolkit/DesktopDialogs.h"

#include "platform/toolkit/Window.h"
#include "text/TextFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace tt {
namespace {

    QString toQt(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    // "label|patterns" becomes the toolkit's "label (patterns)"; ";;" separates filters in
    // both.
    QString toQtFilter(std::string_view filters)
    {
        QStringList converted;
        for (const QString& filter : toQt(filters).split(QStringLiteral(";;"))) {
            const qsizetype bar = filter.indexOf(QLatin1Char('|'));
            converted.append(bar < 0 ? filter
                                     : filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1)
                        + QStringLiteral(")"));
        }
        return converted.join(QStringLiteral(";;"));
    }

    QWidget* parentOf(const Window& window)
    {
        return static_cast<QWidget*>(window.nativeHandle());
    }

    // The caller usually starts a long load or export right after a dialog, without returning
    // to the event loop. Let the dialog leave the screen and the window repaint first, or the
    // dead dialog stays in view and hides the progress bar. User input waits for the loop.
    std::string settled(const QString& answer)
    {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return answer.toStdString();
    }

} // namespace

QString DesktopDialogs::lastFolder() const
{
    if (!lastFolder_.isEmpty()) {
        return lastFolder_;
    }
    const QString working = QDir::currentPath();
    return isInSystemFolder(working.toStdString()) ? QDir::homePath() : working;
}

QString DesktopDialogs::startingPoint(std::string_view defaultName) const
{
    if (defaultName.empty()) {
        return lastFolder();
    }
    const QString name = toQt(defaultName);
    if (isInSystemFolder(defaultName)) {
        return QDir(lastFolder()).filePath(QFileInfo(name).fileName());
    }
    return name;
}

void DesktopDialogs::fileUsed(std::string_view path)
{
    const QString folder = QFileInfo(toQt(path)).absolutePath();
    if (!path.empty() && !isInSystemFolder(folder.toStdString())) {
        lastFolder_ = folder;
    }
}

std::string DesktopDialogs::openFile(
    std::string_view title, std::string_view defaultName, std::string_view filter)
{
    return settled(QFileDialog::getOpenFileName(
        parentOf(owner_), toQt(title), startingPoint(defaultName), toQtFilter(filter)));
}

std::string DesktopDialogs::saveFile(std::string_view title, std::string_view defaultName,
    std::string_view filter, std::size_t* chosenFilter)
{
    const QString filters = toQtFilter(filter);
    QString selected;
    const QString path = QFileDialog::getSaveFileName(parentOf(owner_), toQt(title),
        startingPoint(defaultName), filters, &selected, QFileDialog::DontConfirmOverwrite);
    if (chosenFilter) {
        *chosenFilter = std::size_t(
            std::max<qsizetype>(filters.split(QStringLiteral(";;")).indexOf(selected), 0));
    }
    return settled(path);
}

void DesktopDialogs::message(std::string_view title, std::string_view text, std::string_view detail)
{
    QMessageBox box(
        QMessageBox::Warning, toQt(title), toQt(text), QMessageBox::Ok, parentOf(owner_));
    box.setInformativeText(toQt(detail));
    box.exec();
    settled({});
}

bool DesktopDialogs::question(
    std::string_view title, std::string_view text, std::string_view detail)
{
    QMessageBox box(QMessageBox::Question, toQt(title), toQt(text),
        QMessageBox::Yes | QMessageBox::No, parentOf(owner_));
    box.setDefaultButton(QMessageBox::No);
    box.setInformativeText(toQt(detail));
    const bool yes = box.exec() == QMessageBox::Yes;
    settled({});
    return yes;
}

std::optional<std::string> DesktopDialogs::askText(
    std::string_view title, std::string_view text, std::string_view value)
{
    bool accepted = false;
    const QString answer = QInputDialog::getText(
        parentOf(owner_), toQt(title), toQt(text), QLineEdit::Normal, toQt(value), &accepted);
    settled({});
    if (!accepted) {
        return std::nullopt;
    }
    return answer.trimmed().toStdString();
}

void DesktopDialogs::about(std::string_view title, std::string_view text)
{
    QMessageBox::about(parentOf(owner_), toQt(title), toQt(text));
}

} // namespace tt

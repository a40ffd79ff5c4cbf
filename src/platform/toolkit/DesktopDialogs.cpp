#include "platform/toolkit/DesktopDialogs.h"

#include "platform/toolkit/Window.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace tt {
namespace {

    QString toQt(std::string_view text)
    {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    // "label|pattern" becomes the toolkit's "label (pattern)".
    QString toQtFilter(std::string_view filter)
    {
        const auto bar = filter.find('|');
        if (bar == std::string_view::npos) {
            return toQt(filter);
        }
        return toQt(filter.substr(0, bar)) + QStringLiteral(" (") + toQt(filter.substr(bar + 1))
            + QStringLiteral(")");
    }

    QWidget* parentOf(const Window& window)
    {
        return static_cast<QWidget*>(window.nativeHandle());
    }

} // namespace

std::string DesktopDialogs::openFile(
    std::string_view title, std::string_view defaultName, std::string_view filter)
{
    return QFileDialog::getOpenFileName(
        parentOf(owner_), toQt(title), toQt(defaultName), toQtFilter(filter))
        .toStdString();
}

std::string DesktopDialogs::saveFile(
    std::string_view title, std::string_view defaultName, std::string_view filter)
{
    return QFileDialog::getSaveFileName(parentOf(owner_), toQt(title), toQt(defaultName),
        toQtFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite)
        .toStdString();
}

void DesktopDialogs::message(std::string_view title, std::string_view text)
{
    QMessageBox box(
        QMessageBox::Warning, toQt(title), toQt(text), QMessageBox::Ok, parentOf(owner_));
    box.exec();
}

} // namespace tt

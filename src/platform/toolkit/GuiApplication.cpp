#include "platform/toolkit/GuiApplication.h"

#include <QApplication>

namespace tt {

struct GuiApplication::Impl {
    Impl(int& argc, char** argv)
        : application(argc, argv)
    {
    }

    QApplication application;
};

GuiApplication::GuiApplication(int& argc, char** argv)
    : impl_(std::make_unique<Impl>(argc, argv))
{
}

GuiApplication::~GuiApplication() = default;

} // namespace tt

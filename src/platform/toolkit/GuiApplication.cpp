#include "platform/toolkit/GuiApplication.h"

#include "platform/toolkit/GlyphCache.h"

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
    installGlyphSource(&GlyphCache::instance());
}

GuiApplication::~GuiApplication()
{
    installGlyphSource(nullptr);
}

} // namespace tt

#include "platform/toolkit/GlyphCache.h"

#include <QChar>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace tt {

GlyphCache& GlyphCache::instance()
{
    static GlyphCache cache;
    return cache;
}

const Glyph& GlyphCache::glyph(unsigned char ch)
{
    std::unique_ptr<Glyph>& slot = glyphs_[ch];
    if (slot) {
        return *slot;
    }
    if (qGuiApp == nullptr) {
        // No toolkit running: text draws nothing rather than crashing, and nothing is cached,
        // so the glyph appears once the toolkit has started.
        static const Glyph none;
        return none;
    }
    slot = std::make_unique<Glyph>();
    const QFont font = QGuiApplication::font();
    const QFontMetrics metrics(font);
    const QString text(QChar::fromLatin1(static_cast<char>(ch)));
    slot->advance = metrics.horizontalAdvance(text);
    slot->width = std::max(slot->advance, metrics.boundingRect(text).right() + 1) + 1;
    slot->height = metrics.height();
    if (slot->width <= 0 || slot->height <= 0) {
        slot->width = slot->height = 0;
        return *slot;
    }
    QImage canvas(slot->width, slot->height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(0, metrics.ascent(), text);
    }
    slot->coverage.resize(std::size_t(slot->width) * std::size_t(slot->height));
    for (int y = 0; y < slot->height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < slot->width; ++x) {
            slot->coverage[std::size_t(y * slot->width + x)]
                = static_cast<std::uint8_t>(qAlpha(row[x]));
        }
    }
    return *slot;
}

} // namespace tt

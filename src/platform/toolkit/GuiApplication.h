#pragma once

#include <memory>

namespace tt {

// The window toolkit, running for the lifetime of this object: windows, dialogs and text drawing
// work only while one exists (it installs the toolkit's glyphs as Image's GlyphSource). Create
// exactly one per process, on the main thread, before any other toolkit object, and destroy it
// after all of them.
class GuiApplication {
public:
    // The toolkit keeps references to argc and argv, so both must outlive this object; it removes
    // the command-line options it understands from them.
    GuiApplication(int& argc, char** argv);
    ~GuiApplication();

    GuiApplication(const GuiApplication&) = delete;
    GuiApplication& operator=(const GuiApplication&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tt

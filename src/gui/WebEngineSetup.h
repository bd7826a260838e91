#pragma once

namespace zn::gui {

// What a program with web pages sets before its QApplication exists: shared GL contexts, which
// the web engine needs, and the programs' language, zh-CN, for the engine's own pages (a page
// that cannot be reached, ...) and the languages its requests ask for.
void PrepareWebEngine();

}  // namespace zn::gui

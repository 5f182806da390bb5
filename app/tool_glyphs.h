// The tool strip's pictures, drawn rather than shipped as files.
#pragma once

#include <QIcon>

enum class ToolGlyph {
    Open,
    Print,
    Tile,
    Cascade,
    Arrange,
    Sentence,
    Navigation,
    Single,
    Roadmap,
    Satellite,
    About,
};

QIcon ToolGlyphIcon(ToolGlyph glyph);

// The captcha image in a terminal: decoding its bytes (PNG, JPEG, GIF or BMP)
// and drawing the pixels inline with
// libchafa, as sixels or kitty graphics where the terminal shows them and as
// coloured Unicode blocks elsewhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tovrel {

struct Picture {
    int width = 0;
    int height = 0;
    // width * height pixels, four bytes each (red, green, blue, alpha).
    std::vector<unsigned char> rgba;
};

// Decodes bytes into picture. False, with why set to one short reason, for
// bytes that are no PNG, JPEG, GIF or BMP image, or an image larger than a
// captcha could reasonably be.
bool decodePicture(std::string_view bytes, Picture& picture, std::string& why);

// The terminal on a file descriptor: its size in cells and, where the terminal
// tells, in pixels (0 when unknown).
struct TerminalSize {
    int columns = 80;
    int rows = 24;
    int pixelWidth = 0;
    int pixelHeight = 0;
};
TerminalSize terminalSize(int fd);

// The bytes that draw picture in the terminal named by the environment (TERM
// and the rest), at most a little wider than a line of text and never wider or
// higher than the terminal; ends with a line end.
std::string drawForTerminal(const Picture& picture, const TerminalSize& size);

}  // namespace tovrel

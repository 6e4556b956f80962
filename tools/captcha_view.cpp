#include "tools/captcha_view.h"

#include <chafa.h>
#include <stb_image.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <climits>
#include <memory>

extern char** environ;

namespace tovrel {

namespace {

// A captcha is a few hundred pixels wide; anything far larger is refused
// before its pixels are allocated.
constexpr long kMaxPixels = 4096L * 4096L;
// The drawing's largest size in cells, when the terminal has room.
constexpr int kMaxColumns = 60;
constexpr int kMaxRows = 15;

template <auto release>
struct Releaser {
    template <typename T>
    void operator()(T* p) const {
        release(p);
    }
};
using TermInfo = std::unique_ptr<ChafaTermInfo, Releaser<chafa_term_info_unref>>;
using CanvasConfig = std::unique_ptr<ChafaCanvasConfig, Releaser<chafa_canvas_config_unref>>;
using SymbolMap = std::unique_ptr<ChafaSymbolMap, Releaser<chafa_symbol_map_unref>>;
using Canvas = std::unique_ptr<ChafaCanvas, Releaser<chafa_canvas_unref>>;

// Pixel graphics where the terminal has them, else character cells.
ChafaPixelMode pixelModeFor(const ChafaTermInfo* info) {
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1))
        return CHAFA_PIXEL_MODE_KITTY;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_SIXELS)) return CHAFA_PIXEL_MODE_SIXELS;
    return CHAFA_PIXEL_MODE_SYMBOLS;
}

// The most colours the terminal's sequences can set.
ChafaCanvasMode canvasModeFor(const ChafaTermInfo* info) {
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT))
        return CHAFA_CANVAS_MODE_TRUECOLOR;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_256))
        return CHAFA_CANVAS_MODE_INDEXED_240;
    if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_16))
        return CHAFA_CANVAS_MODE_INDEXED_16;
    return CHAFA_CANVAS_MODE_FGBG_BGFG;
}

// Sets the canvas's size in cells: the picture's shape within the room the
// terminal leaves, counting cells as the terminal's pixels when it tells them.
void setGeometry(ChafaCanvasConfig* config, const Picture& picture, const TerminalSize& size) {
    int cellWidth = 0;
    int cellHeight = 0;
    if (size.pixelWidth > 0 && size.pixelHeight > 0 && size.columns > 0 && size.rows > 0) {
        cellWidth = size.pixelWidth / size.columns;
        cellHeight = size.pixelHeight / size.rows;
    }
    if (cellWidth <= 0 || cellHeight <= 0) {
        cellWidth = 10;
        cellHeight = 20;
    }
    chafa_canvas_config_set_cell_geometry(config, cellWidth, cellHeight);
    // A little room is left beside and below it, but never more than the
    // terminal has.
    int columns = std::min(std::clamp(size.columns - 1, 8, kMaxColumns), std::max(size.columns, 1));
    int rows = std::min(std::clamp(size.rows - 4, 2, kMaxRows), std::max(size.rows, 1));
    chafa_calc_canvas_geometry(picture.width, picture.height, &columns, &rows,
                               static_cast<gfloat>(cellWidth) / static_cast<gfloat>(cellHeight),
                               TRUE, FALSE);
    chafa_canvas_config_set_geometry(config, std::max(columns, 1), std::max(rows, 1));
}

// The formats captchas come in, by their first bytes. The image comes from a
// server, so the decoder sees nothing else: stb_image also reads TGA, PSD,
// HDR, PIC and PNM, whose readers are seldom exercised.
bool hasCaptchaSignature(std::string_view bytes) {
    constexpr std::string_view kSignatures[] = {"\x89PNG\r\n\x1a\n", "\xff\xd8\xff", "GIF87a",
                                                "GIF89a", "BM"};
    return std::any_of(
        std::begin(kSignatures), std::end(kSignatures),
        [bytes](std::string_view signature) { return bytes.starts_with(signature); });
}

}  // namespace

bool decodePicture(std::string_view bytes, Picture& picture, std::string& why) {
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!hasCaptchaSignature(bytes) || bytes.size() > static_cast<std::size_t>(INT_MAX) ||
        stbi_info_from_memory(data, static_cast<int>(bytes.size()), &width, &height, &channels) ==
            0) {
        why = "not an image";
        return false;
    }
    if (width <= 0 || height <= 0 || static_cast<long>(width) * height > kMaxPixels) {
        why = "too large an image (" + std::to_string(width) + "x" + std::to_string(height) + ")";
        return false;
    }
    stbi_uc* pixels =
        stbi_load_from_memory(data, static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr) {
        why = std::string("not an image (") + stbi_failure_reason() + ")";
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.rgba.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 4);
    stbi_image_free(pixels);
    return true;
}

TerminalSize terminalSize(int fd) {
    TerminalSize size;
    winsize window{};
    if (ioctl(fd, TIOCGWINSZ, &window) == 0 && window.ws_col > 0 && window.ws_row > 0) {
        size.columns = window.ws_col;
        size.rows = window.ws_row;
        size.pixelWidth = window.ws_xpixel;
        size.pixelHeight = window.ws_ypixel;
    }
    return size;
}

std::string drawForTerminal(const Picture& picture, const TerminalSize& size) {
    if (picture.width <= 0 || picture.height <= 0) return {};
    const TermInfo info(chafa_term_db_detect(chafa_term_db_get_default(), environ));
    const CanvasConfig config(chafa_canvas_config_new());
    const ChafaPixelMode pixelMode = pixelModeFor(info.get());
    chafa_canvas_config_set_pixel_mode(config.get(), pixelMode);
    chafa_canvas_config_set_canvas_mode(config.get(), pixelMode == CHAFA_PIXEL_MODE_SYMBOLS
                                                          ? canvasModeFor(info.get())
                                                          : CHAFA_CANVAS_MODE_TRUECOLOR);
    const SymbolMap symbols(chafa_symbol_map_new());
    chafa_symbol_map_add_by_tags(
        symbols.get(),
        static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_SPACE));
    chafa_canvas_config_set_symbol_map(config.get(), symbols.get());
    setGeometry(config.get(), picture, size);

    const Canvas canvas(chafa_canvas_new(config.get()));
    chafa_canvas_draw_all_pixels(canvas.get(), CHAFA_PIXEL_RGBA8_UNASSOCIATED, picture.rgba.data(),
                                 picture.width, picture.height, picture.width * 4);
    GString* printed = chafa_canvas_print(canvas.get(), info.get());
    std::string out(printed->str, printed->len);
    g_string_free(printed, TRUE);
    // Back to the terminal's own colours before the prompt.
    if (pixelMode == CHAFA_PIXEL_MODE_SYMBOLS) {
        gchar reset[CHAFA_TERM_SEQ_LENGTH_MAX] = {};
        const gchar* end = chafa_term_info_emit_reset_attributes(info.get(), reset);
        out.append(reset, static_cast<std::size_t>(end - reset));
    }
    out += "\n";
    return out;
}

}  // namespace tovrel

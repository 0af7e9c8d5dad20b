#include "pdf_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "text_output.h"

#ifdef KIV_HAVE_CAIRO
#include <cairo-pdf.h>
#include <cairo.h>

// gcc says it builds with the address sanitizer by __SANITIZE_ADDRESS__, clang by a feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(KIV_ADDRESS_SANITIZER)
// Fontconfig keeps a pattern of the font cairo asked for until the process ends; the leak
// checker of sanitizer builds is told it is not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
#endif

namespace zideruva {

#ifdef KIV_HAVE_CAIRO
namespace {

constexpr double A4Width = 595.2756;  // points
constexpr double A4Height = 841.8898;
constexpr double SideMargin = 14.17;  // 5 mm: the least left on either side
constexpr int SheetLines = 66;
constexpr double LineHeight = 72.0 / 6;  // 6 lines an inch: 66 lines take 11 inches

struct Sink {
  FILE* file;
  int error = 0;
};

cairo_status_t writeToSink(void* closure, const unsigned char* data, unsigned int length) {
  Sink* sink = static_cast<Sink*>(closure);
  if (std::fwrite(data, 1, length, sink->file) == length) return CAIRO_STATUS_SUCCESS;
  if (sink->error == 0) sink->error = errno ? errno : EIO;
  return CAIRO_STATUS_WRITE_ERROR;
}

void selectFont(cairo_t* cr) {
  cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);
  // Unhinted metrics keep every character exactly one cell wide.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// Width of one character per point of font size.
double advancePerPoint(cairo_t* cr) {
  cairo_set_font_size(cr, 100);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, "M", &extents);
  return extents.x_advance > 0 ? extents.x_advance / 100 : 0.6;
}

void drawPage(cairo_t* cr, const Page& page, int documentWidth, double perPoint) {
  // The page's pitch, narrowed when its widest line would not fit across the sheet.
  double usable = A4Width - 2 * SideMargin;
  double cell = 72.0 / page.pitch;
  int width = std::max(documentWidth, 1);
  if (width * cell > usable) cell = usable / width;
  int rows = std::max<int>({SheetLines, page.length, static_cast<int>(page.lines.size())});
  double lineHeight = std::min(LineHeight, (A4Height - 2 * SideMargin) / rows);
  double fontSize = std::min(cell / perPoint, lineHeight);
  cairo_set_font_size(cr, fontSize);
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);

  double left = std::max(SideMargin, (A4Width - width * cell) / 2);
  double top = (A4Height - std::max(rows, SheetLines) * lineHeight) / 2;
  for (size_t i = 0; i < page.lines.size(); ++i) {
    if (page.lines[i].empty()) continue;
    cairo_move_to(cr, left, top + i * lineHeight + font.ascent);
    cairo_show_text(cr, utf8FromCodePage(page.lines[i]).c_str());
  }
  cairo_show_page(cr);
}

}  // namespace

bool writePdfOutput(const PrintDocument& document, const std::string& path, std::string& error) {
  Sink sink{openFile(path, "wb")};
  if (!sink.file) {
    error = std::strerror(errno);
    return false;
  }
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(writeToSink, &sink, A4Width, A4Height);
  cairo_t* cr = cairo_create(surface);
  selectFont(cr);
  double perPoint = advancePerPoint(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);

  int documentWidth = 0;
  for (const Page& page : document.pages) documentWidth = std::max(documentWidth, page.width());
  for (const Page& page : document.pages) drawPage(cr, page, documentWidth, perPoint);
  if (document.pages.empty()) drawPage(cr, Page{}, 0, perPoint);

  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (std::fclose(sink.file) != 0 && sink.error == 0) sink.error = errno;
  if (sink.error != 0 || status != CAIRO_STATUS_SUCCESS) {
    error = sink.error ? std::strerror(sink.error) : cairo_status_to_string(status);
    return false;
  }
  return true;
}

#else

bool writePdfOutput(const PrintDocument&, const std::string&, std::string& error) {
  error = "programa compilat sense cairo: no pot fer PDF";
  return false;
}

#endif

}  // namespace zideruva

#include "page_model.h"

#include <algorithm>

namespace zideruva {
namespace {

Justification justificationOf(const std::string& code) {
  switch (code.empty() ? 'E' : code[0]) {
    case 'D': return Justification::Right;
    case 'C': return Justification::Centre;
    case 'A': return Justification::Both;
    default: return Justification::Left;
  }
}

class PageBuilder {
 public:
  PrintDocument document;

  void setPageLength(int length) {
    if (touched()) finishPage();
    length_ = length > 0 ? length : DefaultPageLength;
    page_.length = length_;
  }

  void setPitch(int pitch) {
    pitch_ = pitch;
    page_.pitch = pitch;
  }

  void setJustification(const std::string& code) { justification_ = justificationOf(code); }

  void place(int column, const std::string& text, int advance) {
    int start = column > 0 ? column : column == 0 ? nextColumn_ : 1;
    std::string shown = shownText(text);
    page_.texts.push_back({line_, start, shown, justification_});
    std::string& row = rowAt(line_);
    size_t from = static_cast<size_t>(start - 1);
    if (row.size() < from + shown.size()) row.resize(from + shown.size(), ' ');
    row.replace(from, shown.size(), shown);
    nextColumn_ = start + static_cast<int>(shown.size());
    if (advance > 0) moveDown(advance);
  }

  // A line that is not part of the format: shown whole on a line of its own.
  void showAsIs(const std::string& line) {
    if (nextColumn_ > 1) moveDown(1);
    justification_ = Justification::Left;
    place(1, line, 1);
  }

  PrintDocument finish() {
    if (touched()) finishPage();
    for (Page& page : document.pages) trimLines(page);
    return std::move(document);
  }

 private:
  bool touched() const { return !page_.texts.empty() || line_ > 0; }

  std::string& rowAt(int line) {
    if (page_.lines.size() <= static_cast<size_t>(line)) page_.lines.resize(line + 1);
    return page_.lines[line];
  }

  void moveDown(int lines) {
    line_ += lines;
    nextColumn_ = 1;
    justification_ = Justification::Left;
    while (line_ >= length_) {
      int carried = line_ - length_;
      finishPage();
      line_ = carried;
    }
  }

  void finishPage() {
    document.pages.push_back(std::move(page_));
    page_ = Page{};
    page_.length = length_;
    page_.pitch = pitch_;
    line_ = 0;
    nextColumn_ = 1;
  }

  static void trimLines(Page& page) {
    for (std::string& row : page.lines) row.erase(row.find_last_not_of(' ') + 1);
    while (!page.lines.empty() && page.lines.back().empty()) page.lines.pop_back();
  }

  Page page_;
  int length_ = DefaultPageLength;
  int pitch_ = DefaultPitch;
  int line_ = 0;
  int nextColumn_ = 1;
  Justification justification_ = Justification::Left;
};

}  // namespace

int Page::width() const {
  size_t widest = 0;
  for (const std::string& row : lines) widest = std::max(widest, row.size());
  return static_cast<int>(widest);
}

std::string shownText(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || byte == 255) c = ' ';
  }
  return shown;
}

PrintDocument layoutPages(const std::vector<PrintFileLine>& lines) {
  PageBuilder builder;
  for (const PrintFileLine& line : lines) {
    switch (line.kind) {
      case LineKind::Device: builder.document.device = line.text; break;
      case LineKind::Page: builder.setPageLength(line.pageLength); break;
      case LineKind::Control:
        if (line.text == "@e") builder.setPitch(ElitePitch);
        break;
      case LineKind::Justification: builder.setJustification(line.text); break;
      case LineKind::Text: builder.place(line.column, line.text, line.advance); break;
      case LineKind::Unparsed: builder.showAsIs(line.text); break;
    }
  }
  return builder.finish();
}

}  // namespace zideruva

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "output_device.h"
#include "pdf_output.h"
#include "printer_output.h"
#include "text_output.h"
#include "paths.h"
#include "platform/files.h"
#include "platform/process.h"

namespace zideruva {
namespace {

std::string fixture(const std::string& name) {
  return readFileBytes(sourceDir() + "/tests/fixtures/zideruva/" + name).value_or("<missing>");
}

PrintDocument fixtureDocument(const std::string& name) {
  return layoutPages(readPrintFileLines(fixture(name)));
}

TEST(TextOutput, MatchesTheExpectedText) {
  for (const char* name : {"listing", "oddities"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(textPages(fixtureDocument(std::string(name) + ".tmp")),
              fixture(std::string(name) + ".txt"));
  }
}

TEST(TextOutput, CodePageToUtf8) {
  EXPECT_EQ(utf8FromCodePage("ADRE\x80" "A P\xB7GINA \xA5 \xA6 \xD5 \xC9"),
            "ADRE\xC3\x87" "A P\xC3\x80GINA \xC3\x91 \xC2\xAA \xE2\x82\xAC \xE2\x95\x94");
}

// What pdftotext reads from the PDF, lined up as the text output is: it ends every page with
// a form feed and keeps no blanks at line ends.
std::string pdfAsText(const std::string& pdf) {
  TempDir dir;
  std::string out = dir.file("read.txt");
  ProgramResult result = runProgram(findProgramOnPath("pdftotext"), {"-layout", pdf, out});
  if (result.exitCode != 0) return "<pdftotext failed>";
  std::string text = readFileBytes(out).value_or("");
  std::string tidy, line;
  for (char c : text) {
    if (c == '\n' || c == '\f') {
      tidy += line.erase(line.find_last_not_of(' ') + 1);
      tidy += c;
      line.clear();
    } else {
      line += c;
    }
  }
  return tidy;
}

// The text output with pdftotext's page ends: blank lines at page ends dropped, a form feed
// after every page.
std::string asPdfToTextWouldShow(const std::string& text) {
  std::string shown;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\f', start);
    if (end == std::string::npos) end = text.size();
    std::string page = text.substr(start, end - start);
    while (page.size() >= 2 && page.compare(page.size() - 2, 2, "\n\n") == 0) page.pop_back();
    shown += page + "\f";
    start = end + 1;
  }
  return shown;
}

TEST(PdfOutput, ReadsBackAsTheTextOutput) {
  TempDir dir;
  for (const char* name : {"listing.tmp", "oddities.tmp"}) {
    SCOPED_TRACE(name);
    PrintDocument document = fixtureDocument(name);
    std::string error;
    ASSERT_TRUE(writePdfOutput(document, dir.file("out.pdf"), error)) << error;
    EXPECT_EQ(pdfAsText(dir.file("out.pdf")), asPdfToTextWouldShow(textPages(document)));
  }
}

TEST(FileOutputs, UnwritableFileGivesTheSystemsReason) {
  PrintDocument document = fixtureDocument("listing.tmp");
  std::string error;
  EXPECT_FALSE(writeTextOutput(document, "/nonexistent-dir/out.txt", error));
  EXPECT_EQ(error, "No such file or directory");
  error.clear();
  EXPECT_FALSE(writePdfOutput(document, "/nonexistent-dir/out.pdf", error));
  EXPECT_EQ(error, "No such file or directory");
  error.clear();
  EXPECT_FALSE(writeTextOutput(document, "/dev/full", error));
  EXPECT_EQ(error, "No space left on device");
}

TEST(OutputDevice, ChosenByTheDeviceText) {
  struct Case {
    const char* device;
    OutputKind kind;
    std::string target;
    bool unknown;
  };
  const Case cases[] = {
      {"", OutputKind::Viewer, "", false},
      {"  pantalla ", OutputKind::Viewer, "", false},
      {"CON", OutputKind::Viewer, "", false},
      {"C:\\LLISTATS\\buits.PDF", OutputKind::Pdf, "C:\\LLISTATS\\buits.PDF", false},
      {"pdf:/tmp/llistat", OutputKind::Pdf, "/tmp/llistat", false},
      {"out.txt", OutputKind::Text, "out.txt", false},
      {"TXT: llistat.dat", OutputKind::Text, "llistat.dat", false},
      {"lpt1", OutputKind::Printer, "", false},
      {"PRN", OutputKind::Printer, "", false},
      {"LP:oficina", OutputKind::Printer, "oficina", false},
      {"lp:", OutputKind::Printer, "", false},
      {"LPT2", OutputKind::Viewer, "", true},
      {"PDF:", OutputKind::Viewer, "", true},
      {".pdf", OutputKind::Viewer, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    OutputChoice choice = chooseOutput(c.device);
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_EQ(choice.target, c.target);
    EXPECT_EQ(choice.unknownDevice, c.unknown);
  }
}

}  // namespace
}  // namespace zideruva

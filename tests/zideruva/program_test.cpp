// The print program run as the module runs it: no arguments, the session directory from the
// environment or Sessio.ini, the device from the print file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "paths.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

std::string fixture(const std::string& name) {
  return readFileBytes(sourceDir() + "/tests/fixtures/zideruva/" + name).value_or("<missing>");
}

// The listing fixture sent to another device.
std::string listingFor(const std::string& device) {
  std::string listing = fixture("listing.tmp");
  return "DEVICE" + device + listing.substr(listing.find("\r\n"));
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// A stand-in for the spooler's lp: logs its arguments and keeps what it was given to print;
// with REFUSE_PDF set it turns PDF down as a spooler without PDF support does.
void installFakeLp(const TempDir& bin, const std::string& spool) {
  std::string script =
      "#!/bin/sh\n"
      "echo \"$*\" >> " + quoted(spool + "/lp.log") + "\n"
      "for last; do :; done\n"
      "case \"$last\" in *.pdf) if [ -n \"$REFUSE_PDF\" ]; then\n"
      "  echo 'lp: Unsupported document-format' >&2; exit 1; fi;; esac\n"
      "/bin/cp \"$last\" " + quoted(spool) + "/printed.\"${last##*.}\"\n";
  ASSERT_TRUE(writeFileBytes(bin.file("lp"), script));
  ::chmod(bin.file("lp").c_str(), 0755);
}

class PrintProgram : public ::testing::Test {
 protected:
  // Runs ZIDERUVA in the session directory with the given environment settings; its error
  // output is kept in stderrText.
  int run(const std::string& environment) {
    std::string script = "cd " + quoted(session.path()) + " && env -u KIVTMP PATH=" +
                         quoted(bin.path()) + " " + environment + " " +
                         quoted(programPath("ZIDERUVA")) + " </dev/null 2>" +
                         quoted(spool.file("stderr"));
    int code = runProgram("/bin/sh", {"-c", script}).exitCode;
    stderrText = readFileBytes(spool.file("stderr")).value_or("");
    return code;
  }
  void printFile(const std::string& bytes) {
    ASSERT_TRUE(writeFileBytes(session.file("zideruva.tmp"), bytes));
  }
  std::string kivtmp() { return "KIVTMP=" + quoted(session.path()); }
  std::string spooled(const std::string& name) {
    return readFileBytes(spool.file(name)).value_or("<none>");
  }

  TempDir session, bin, spool;
  std::string stderrText;
};

TEST_F(PrintProgram, WritesTextAndPdfFiles) {
  const std::pair<std::string, std::string> cases[] = {
      {"TXT:llistat.dat", "llistat.dat"},
      {" out.TXT ", "out.TXT"},
      {session.path() + "\\Buits.pdf", "Buits.pdf"},
      {"pdf:llistat", "llistat"},
  };
  for (const auto& [device, file] : cases) {
    SCOPED_TRACE(device);
    printFile(listingFor(device));
    EXPECT_EQ(run(kivtmp()), 0) << stderrText;
    std::string written = readFileBytes(session.file(file)).value_or("<none>");
    if (file.find("pdf") != std::string::npos || file == "llistat")
      EXPECT_EQ(written.substr(0, 5), "%PDF-");
    else
      EXPECT_EQ(written, fixture("listing.txt"));
  }
}

TEST_F(PrintProgram, FindsThePrintFileThroughTheTerminalDirectory) {
  printFile(listingFor("TXT:found.txt"));
  ASSERT_TRUE(writeFileBytes(session.file("Sessio.ini"),
                             "[Terminal]\r\nDir=" + session.path() + "\r\n"));
  EXPECT_EQ(run(""), 0) << stderrText;
  EXPECT_EQ(readFileBytes(session.file("found.txt")).value_or(""), fixture("listing.txt"));
}

TEST_F(PrintProgram, PrintsWithLp) {
  installFakeLp(bin, spool.path());
  printFile(listingFor("LP:oficina"));
  EXPECT_EQ(run(kivtmp()), 0) << stderrText;
  EXPECT_EQ(spooled("lp.log"), "-d oficina " + session.path() + "/zideruva-lp.pdf\n");
  EXPECT_EQ(spooled("printed.pdf").substr(0, 5), "%PDF-");
  EXPECT_FALSE(fileExists(session.file("zideruva-lp.pdf")));
}

TEST_F(PrintProgram, PrintsTextWhenLpRefusesPdf) {
  installFakeLp(bin, spool.path());
  printFile(listingFor("prn"));
  EXPECT_EQ(run(kivtmp() + " REFUSE_PDF=1"), 0) << stderrText;
  EXPECT_EQ(spooled("lp.log"), session.path() + "/zideruva-lp.pdf\n" + session.path() +
                                   "/zideruva-lp.txt\n");
  EXPECT_EQ(spooled("printed.txt"), fixture("listing.txt"));
  EXPECT_FALSE(fileExists(session.file("zideruva-lp.txt")));
}

TEST_F(PrintProgram, FailuresAreSaidAndEndWithCode1) {
  struct Case {
    const char* name;
    std::string printFile;  // empty: none
    std::string said;
  };
  const Case cases[] = {
      {"no print file", "", session.path() + "/zideruva.tmp: No such file or directory"},
      {"unwritable output", listingFor("TXT:/nonexistent-dir/x.txt"),
       "/nonexistent-dir/x.txt: No such file or directory"},
      {"lp missing", listingFor("LPT1"), "lp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    removeFile(session.file("zideruva.tmp"));
    if (!c.printFile.empty()) printFile(c.printFile);
    EXPECT_EQ(run(kivtmp()), 1);
    EXPECT_NE(stderrText.find(c.said), std::string::npos) << stderrText;
  }

  // A print file linked to a device without end is refused, not read until memory runs out.
  removeFile(session.file("zideruva.tmp"));
  ASSERT_EQ(::symlink("/dev/zero", session.file("zideruva.tmp").c_str()), 0);
  EXPECT_EQ(run(kivtmp()), 1);
  EXPECT_NE(stderrText.find("/zideruva.tmp: File too large"), std::string::npos) << stderrText;
}

}  // namespace

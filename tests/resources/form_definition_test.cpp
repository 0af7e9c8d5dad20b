#include "resources/form_definition.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <regex>
#include <set>
#include <vector>

#include "core/session_settings.h"
#include "paths.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/memory_console.h"
#include "resources/language_file.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

namespace {

// A small complete form: a comment before every group, panel 1 in a box with the two range
// fields, panel 2 the confirmation field, one browse list.
const std::string kForm =
    "' header\r\n"
    "2,3\r\n"
    "' panel 1\r\n"
    "  ' indented comment\r\n"
    "\r\n"
    "\"d,1b,4800\",2,0,8,20,14,61\r\n"
    "2,11,\"From, first: \",4,0,1,0,1,1,\"\"\r\n"
    "4,11,\"  To: \",4,0,0,8,1,0,\"|A,One|B,Two\"\r\n"
    "' panel 2\r\n"
    "\"d,1b\",1,0,16,22,18,59\r\n"
    "1,4,\"Sure? \",1,0,0,0,91,0,\"\"\r\n"
    "' lists\r\n"
    "1\r\n"
    "' list 1\r\n"
    "506,0,4,19,21,60,0,\"No._Address_\",0\r\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string withLineEnds(std::string text, const std::string& lineEnd) {
  std::string result;
  for (size_t at; (at = text.find("\r\n")) != std::string::npos; text.erase(0, at + 2))
    result += text.substr(0, at) + lineEnd;
  return result + text;
}

class FormDefinitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionSettings();
    resetFormModel();
    sessionSettings.languageCode = "CAT";
    sessionSettings.moduleName = "HORTELIX";
  }
  void TearDown() override {
    resetFormModel();
    resetSessionSettings();
  }

  std::string load(const std::string& bytes) {
    const std::string name = dir.file("FORM.KPN");
    EXPECT_TRUE(writeFileBytes(name, bytes));
    return readFormDefinition(name);
  }

  TempDir dir;
};

TEST_F(FormDefinitionTest, ReadsEveryGroupOfACompleteForm) {
  ASSERT_EQ(load(kForm), "");
  const FormModel& model = formModel;
  EXPECT_EQ(model.panelCount, 2);
  EXPECT_EQ(model.maxFieldsPerPanel, 3);
  EXPECT_EQ(model.browseListCount, 1);

  const FormPanel& first = *formPanel(1);
  EXPECT_EQ(first.exitKeys, "d,1b,4800");
  EXPECT_EQ(first.fieldCount, 2);
  EXPECT_EQ(first.nextPanel, 0);
  EXPECT_EQ(first.boxTop, 8);
  EXPECT_EQ(first.boxLeft, 20);
  EXPECT_EQ(first.boxBottom, 14);
  EXPECT_EQ(first.boxRight, 61);
  const FormField& from = *formField(1, 1);
  EXPECT_EQ(from.row, 2);
  EXPECT_EQ(from.labelCol, 11);
  EXPECT_EQ(from.label, "From, first: ");  // quoted: the comma belongs to the label
  EXPECT_EQ(from.width, 4);
  EXPECT_EQ(from.trailBlank, 1);
  EXPECT_EQ(from.checkKind, CheckNumeric);
  EXPECT_EQ(from.browseList, 1);
  EXPECT_EQ(from.choices, "");
  const FormField& to = *formField(1, 2);
  EXPECT_EQ(to.label, "  To: ");  // quoted: the leading blanks stay
  EXPECT_EQ(to.flags, FieldCursorAtEnd);
  EXPECT_EQ(to.choices, "|A,One|B,Two");
  // No values in the file: the presets of the range, every other field blank.
  EXPECT_EQ(from.value, "1   ");
  EXPECT_EQ(to.value, "999 ");
  EXPECT_EQ(formField(2, 1)->value, " ");
  EXPECT_EQ(formField(2, 1)->checkKind, CheckYesNo);

  const BrowseListDef& list = *browseListDef(1);
  EXPECT_EQ(list.recordFile, 506);
  EXPECT_EQ(list.listKey, 0);
  EXPECT_EQ(list.boxTop, 4);
  EXPECT_EQ(list.boxRight, 60);
  EXPECT_EQ(list.heading, "No._Address_");
  EXPECT_EQ(list.linkedList, 0);

  // Only numbered slots exist.
  EXPECT_EQ(formPanel(0), nullptr);
  EXPECT_EQ(formPanel(3), nullptr);
  EXPECT_EQ(formField(1, 3), nullptr);
  EXPECT_EQ(formField(2, 0), nullptr);
  EXPECT_EQ(browseListDef(0), nullptr);
  EXPECT_EQ(browseListDef(2), nullptr);
}

// The line ends of hand-edited files: comments are skipped and data lines re-read from their
// start whatever ends the lines, also on a last line without a line end.
TEST_F(FormDefinitionTest, AnyLineEndReadsTheSameModel) {
  ASSERT_EQ(load(kForm), "");
  const FormModel expected = formModel;
  std::string noFinalEnd = kForm.substr(0, kForm.size() - 2);
  for (const std::string& bytes : {withLineEnds(kForm, "\n"), withLineEnds(kForm, "\r"), noFinalEnd,
                                   withLineEnds(noFinalEnd, "\n")}) {
    ASSERT_EQ(load(bytes), "") << bytes;
    EXPECT_EQ(formField(1, 1)->label, expected.panels[1].fields[1].label);
    EXPECT_EQ(formPanel(2)->exitKeys, "d,1b");
    EXPECT_EQ(formField(2, 1)->label, "Sure? ");
    EXPECT_EQ(browseListDef(1)->heading, "No._Address_");
    EXPECT_EQ(browseListDef(1)->linkedList, 0);
  }
}

TEST_F(FormDefinitionTest, ItemsAsWritten) {
  struct Case {
    std::string fieldLine;  // field 2 of panel 1
    std::string label;
    std::string choices;
  } cases[] = {
      {"4,11,   To: ,4,0,0,0,1,0,x", "To: ", "x"},            // unquoted: leading blanks go
      {"4,11,\"To\"  ,4,0,0,0,1,0,\"\"", "To", ""},           // blanks after the quote
      {"4,11,To,4,0,0,0,1,0,\r\n\"\"", "To", ""},             // an item per line is free
      {"4,11,To,4\r\n0,0 , 0,1,0,\"|S,Si\"", "To", "|S,Si"},  // blanks end a number
      {"4,11,,4,0,0,0,1,0,\"\"", "", ""},                     // an empty label
      {"4,11,\"\",4,+0,0,0,1,0,\"\"", "", ""},
  };
  for (const Case& c : cases) {
    std::string form = replaced(kForm, "4,11,\"  To: \",4,0,0,8,1,0,\"|A,One|B,Two\"", c.fieldLine);
    ASSERT_EQ(load(form), "") << c.fieldLine;
    EXPECT_EQ(formField(1, 2)->label, c.label) << c.fieldLine;
    EXPECT_EQ(formField(1, 2)->choices, c.choices) << c.fieldLine;
    EXPECT_EQ(formField(1, 2)->width, 4) << c.fieldLine;
    EXPECT_EQ(formField(2, 1)->label, "Sure? ") << c.fieldLine;
  }
}

// A comment is only a comment where a group starts: between two fields of a panel it is the
// next field's first item, which is no number.
TEST_F(FormDefinitionTest, CommentInsideAPanelIsData) {
  std::string form = replaced(kForm, "\r\n4,11,", "\r\n' second field\r\n4,11,");
  EXPECT_EQ(load(form), "ERROR EN EL FITXER DE PANTALLA " + dir.file("FORM.KPN") +
                            ": L\xD6NIA 8: S'ESPERAVA UN NOMBRE");
  EXPECT_EQ(formModel.panelCount, 0);
  EXPECT_TRUE(formModel.panels.empty());
}

TEST_F(FormDefinitionTest, TranslatesLabelsChoicesAndHeadings) {
  sessionSettings.rootDir = dir.path() + "/";
  sessionSettings.languageCode = "SPA";
  ASSERT_TRUE(::mkdir(dir.file("LOCALE").c_str(), 0777) == 0);
  ASSERT_TRUE(writeFileBytes(dir.file("LOCALE/HORTELIX.LNG"),
                             "\"  To: \",g,o,\"  Hasta: \"\r\n"
                             "\"|A,One|B,Two\",g,o,\"|A,Uno|B,Dos\"\r\n"
                             "No._Address_,g,o,N\xA3m._Direcci\xA2n_\r\n"));
  ASSERT_EQ(load(kForm), "");
  EXPECT_EQ(formField(1, 1)->label, "From, first: ");  // no entry: Catalan
  EXPECT_EQ(formField(1, 2)->label, "  Hasta: ");
  EXPECT_EQ(formField(1, 2)->choices, "|A,Uno|B,Dos");
  EXPECT_EQ(browseListDef(1)->heading, "N\xA3m._Direcci\xA2n_");
  EXPECT_EQ(formPanel(1)->exitKeys, "d,1b,4800");  // keys are not a text to translate
}

TEST_F(FormDefinitionTest, StoresFixedLengthValues) {
  FormField field;
  field.width = 5;
  for (auto [text, value] : std::vector<std::pair<std::string, std::string>>{
           {"ABCDEFG", "ABCDE"}, {"AB", "AB   "}, {"", "     "}, {"ABCDE", "ABCDE"}}) {
    storeFieldValue(field, text);
    EXPECT_EQ(field.value, value) << text;
  }
}

TEST_F(FormDefinitionTest, ZeroListsAtTheEndOfTheFile) {
  const std::string noList = replaced(kForm, "4,0,1,0,1,1,", "4,0,1,0,1,0,");
  const std::string head = noList.substr(0, noList.find("1\r\n' list 1"));
  for (const std::string& tail :
       {std::string("0\r\n"), std::string("0"), std::string("0\r\n' nothing more\r\n\r\n")}) {
    ASSERT_EQ(load(head + tail), "") << tail;
    EXPECT_EQ(formModel.browseListCount, 0);
    EXPECT_EQ(formModel.browseLists.size(), 1u);
    EXPECT_EQ(browseListDef(1), nullptr);
  }
  // No list count at all: the lists are simply not there.
  ASSERT_EQ(load(noList.substr(0, noList.find("' lists"))), "");
  EXPECT_EQ(formModel.browseListCount, 0);
  EXPECT_EQ(browseListDef(1), nullptr);
}

// Every fault stops the load with the file, the line and what is wrong, and leaves no model.
TEST_F(FormDefinitionTest, RefusesDamagedForms) {
  const std::string fieldTwo = "4,11,\"  To: \",4,0,0,8,1,0,\"|A,One|B,Two\"";
  const std::string panelOne = "\"d,1b,4800\",2,0,8,20,14,61";
  const std::string listOne = "506,0,4,19,21,60,0,\"No._Address_\",0";
  const std::string outOfRange = "VALOR FORA DE L\xD6MITS";
  const std::string endsEarly = "EL FITXER S'ACABA ABANS D'HORA";
  const std::string rangeFields =
      "ELS CAMPS 1 I 2 DEL PANELL 1 HAN DE SER EDITABLES I DE 4 CAR\xB7"
      "CTERS COM A M\xB7XIM";
  const std::string offScreen = "EL CAMP SURT DE LA PANTALLA";
  const std::string noPanel = "REFER\xD4NCIA A UN PANELL QUE NO EXISTEIX";
  const std::string noList = "REFER\xD4NCIA A UNA LLISTA QUE NO EXISTEIX";
  struct Case {
    std::string name;
    std::string bytes;
    int line;
    std::string problem;
  } cases[] = {
      {"empty file", "", 1, endsEarly},
      {"only comments", "' nothing\r\n' at all\r\n", 3, endsEarly},
      {"no panels", "2,3\r\n", 2, endsEarly},
      {"panel count 0", replaced(kForm, "2,3", "0,3"), 2, outOfRange},
      {"absurd panel count", replaced(kForm, "2,3", "30000,3"), 2, outOfRange},
      {"panel count beyond 16 bits", replaced(kForm, "2,3", "99999999999,3"), 2, outOfRange},
      {"negative field capacity", replaced(kForm, "2,3", "2,-3"), 2, outOfRange},
      {"absurd field capacity", replaced(kForm, "2,3", "2,1000"), 2, outOfRange},
      {"text for a number", replaced(kForm, "2,3", "2,three"), 2, "S'ESPERAVA UN NOMBRE"},
      {"number with letters", replaced(kForm, "2,3", "2,3x"), 2, "S'ESPERAVA UN NOMBRE"},
      {"sign alone", replaced(kForm, "2,3", "2,-"), 2, "S'ESPERAVA UN NOMBRE"},
      {"no panel 2",
       replaced(
           replaced(kForm, "2,3", "1,3"),
           kForm.substr(kForm.find("' panel 2"), kForm.find("' lists") - kForm.find("' panel 2")),
           ""),
       2, "FALTA EL PANELL 2"},
      {"more fields than the capacity", replaced(kForm, "2,3", "2,1"), 6, outOfRange},
      {"a panel without fields", replaced(kForm, "\"d,1b\",1,", "\"d,1b\",0,"), 10, outOfRange},
      {"one field on panel 1",
       replaced(replaced(kForm, panelOne, "\"d\",1,0,8,20,14,61"), fieldTwo + "\r\n", ""), 6,
       rangeFields},
      {"range field of 5", replaced(kForm, "\"From, first: \",4,", "\"From, first: \",5,"), 7,
       rangeFields},
      {"protected range field", replaced(kForm, fieldTwo, "4,11,To,4,0,0,4,1,0,\"\""), 8,
       rangeFields},
      {"wide confirmation", replaced(kForm, "\"Sure? \",1,", "\"Sure? \",2,"), 11,
       "EL CAMP 1 DEL PANELL 2 HA DE SER EDITABLE I D'1 CAR\xB7"
       "CTER"},
      {"field width 0", replaced(kForm, "\"Sure? \",1,", "\"Sure? \",0,"), 11, outOfRange},
      {"absurd width", replaced(kForm, "\"Sure? \",1,", "\"Sure? \",30000,"), 11, outOfRange},
      {"flags beyond the four bits", replaced(kForm, "4,0,0,8,1,0", "4,0,0,16,1,0"), 8, outOfRange},
      {"label past column 80", replaced(kForm, "2,11,\"From", "2,60,\"From"), 7, offScreen},
      {"area past column 80", replaced(kForm, fieldTwo, "4,11,To,60,0,0,0,1,0,\"\""), 8, offScreen},
      {"trailing blanks past column 80",
       replaced(kForm, "\"From, first: \",4,0,1", "\"From, first: \",4,0,40"), 7, offScreen},
      {"row past row 25", replaced(kForm, "1,4,\"Sure", "10,4,\"Sure"), 11, offScreen},
      {"multi-line area past row 25", replaced(kForm, fieldTwo, "4,11,To,200,10,0,0,1,0,\"\""), 8,
       offScreen},
      {"row 0", replaced(kForm, "1,4,\"Sure", "0,4,\"Sure"), 11, outOfRange},
      {"box past row 25", replaced(kForm, "16,22,18,59", "16,22,26,59"), 10, outOfRange},
      {"box past column 80", replaced(kForm, "8,20,14,61", "8,20,14,81"), 6, outOfRange},
      {"box without room inside", replaced(kForm, "8,20,14,61", "8,20,9,61"), 6, outOfRange},
      {"list box off the screen", replaced(kForm, listOne, "506,0,0,19,21,60,0,x,0"), 15,
       outOfRange},
      {"next panel beyond the count", replaced(kForm, "\"d,1b\",1,0,", "\"d,1b\",1,3,"), 10,
       noPanel},
      {"browse list beyond the count", replaced(kForm, "4,0,1,0,1,1,", "4,0,1,0,1,2,"), 7, noList},
      {"filter panel beyond the count", replaced(kForm, listOne, "506,0,4,19,21,60,5,x,0"), 15,
       noPanel},
      {"linked list beyond the count", replaced(kForm, listOne, "506,0,4,19,21,60,0,x,2"), 15,
       noList},
      {"panels continuing in a circle",
       replaced(replaced(replaced(kForm, "2,3", "3,3"), "\"d,1b\",1,0,", "\"d,1b\",1,3,"),
                "' lists", "\"d\",1,2,0,0,0,0\r\n1,1,A,1,0,0,0,0,0,\"\"\r\n' lists"),
       10, "ELS PANELLS DE CONTINUACI\xE0 FORMEN UN CERCLE"},
      {"a panel continuing in itself", replaced(kForm, "\"d,1b\",1,0,", "\"d,1b\",1,2,"), 10,
       "ELS PANELLS DE CONTINUACI\xE0 FORMEN UN CERCLE"},
      {"ends inside panel 2", kForm.substr(0, kForm.find("1,4,\"Sure")), 11, endsEarly},
      {"ends inside a field", kForm.substr(0, kForm.find("\"Sure")), 11, endsEarly},
      {"fewer lists than counted", replaced(kForm, "\r\n1\r\n", "\r\n2\r\n"), 16, endsEarly},
      {"zero lists and more data", replaced(kForm, "\r\n1\r\n", "\r\n0\r\n"), 15,
       "HI HA DADES DESPR\x90S DE ZERO LLISTES"},
  };
  for (const Case& c : cases) {
    resetFormModel();
    std::string problem = load(c.bytes);
    EXPECT_EQ(problem, "ERROR EN EL FITXER DE PANTALLA " + dir.file("FORM.KPN") + ": L\xD6NIA " +
                           std::to_string(c.line) + ": " + c.problem)
        << c.name;
    EXPECT_EQ(formModel.panelCount, 0) << c.name;
    EXPECT_TRUE(formModel.panels.empty()) << c.name;
  }
}

TEST_F(FormDefinitionTest, RefusesAFileItCannotRead) {
  const std::string missing = dir.file("FORMS/NONE.KPN");
  EXPECT_EQ(readFormDefinition(missing),
            "ERROR EN EL FITXER DE PANTALLA " + missing + ": NO ES POT LLEGIR EL FITXER");
  EXPECT_EQ(readFormDefinition(dir.path()),  // a directory
            "ERROR EN EL FITXER DE PANTALLA " + dir.path() + ": NO ES POT LLEGIR EL FITXER");
  EXPECT_TRUE(formModel.panels.empty());
}

// The start-up load of a form it cannot use: the message window names the file and the
// fault, one key ends the module with exit code 0.
TEST_F(FormDefinitionTest, StartUpStopsOnADamagedForm) {
  sessionSettings.rootDir = dir.path() + "/";
  ASSERT_EQ(::mkdir(dir.file("FORMS").c_str(), 0777), 0);
  ASSERT_TRUE(writeFileBytes(dir.file("FORMS/HORTELIX.KPN"), replaced(kForm, "2,3", "0,3")));
  EXPECT_EQ(formDefinitionFileName(), dir.path() + "/FORMS\\HORTELIX.KPN");
  auto run = [] {
    MemoryConsole screen;
    setConsole(&screen);
    // When the module waits for its key, show the screen on stderr and press a key.
    screen.setIdleHandler([](MemoryConsole& console) {
      std::fprintf(stderr, "%s\n", console.screenText().c_str());
      console.pushKey(' ');
    });
    loadFormDefinition();
    std::fprintf(stderr, "went on after the message\n");
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0),
              "ERROR EN EL FITXER DE PANTALLA .*HORTELIX\\.KPN: L\xD6NIA .*2: VALOR FORA DE "
              "L\xD6MITS");
}

// The module's own form file loads in every language, with each text it translates found in
// the language file, and each language-file line one entry of four fields.
TEST_F(FormDefinitionTest, TheModulesFormAndLanguageFiles) {
  sessionSettings.rootDir = sourceDir() + "/dist/";
  FILE* file = openFile(sessionSettings.rootDir + "LOCALE\\HORTELIX.LNG", "rb");
  ASSERT_NE(file, nullptr);
  std::set<std::string> keys;
  auto bytes = readFileBytes(sessionSettings.rootDir + "LOCALE\\HORTELIX.LNG");
  ASSERT_TRUE(bytes.has_value());
  std::fclose(file);
  size_t lineStart = 0;
  int lineNumber = 0;
  while (lineStart < bytes->size()) {
    size_t end = bytes->find("\r\n", lineStart);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    const std::string line = bytes->substr(lineStart, end - lineStart + 2);
    lineStart = end + 2;
    ++lineNumber;
    FILE* one = std::tmpfile();
    std::fwrite(line.data(), 1, line.size(), one);
    std::rewind(one);
    LanguageFieldReader reader(one);
    std::vector<std::string> fields;
    while (!reader.atEnd()) fields.push_back(reader.nextField());
    std::fclose(one);
    ASSERT_EQ(fields.size(), 4u) << "line " << lineNumber;
    for (const std::string& field : fields) EXPECT_FALSE(field.empty()) << "line " << lineNumber;
    EXPECT_TRUE(keys.insert(fields[0]).second) << "twice: " << fields[0];
  }

  for (const char* language : {"CAT", "SPA", "GLG", "OCI"}) {
    sessionSettings.languageCode = language;
    ASSERT_EQ(readFormDefinition(formDefinitionFileName()), "") << language;
    EXPECT_EQ(formModel.panelCount, 2);
    EXPECT_EQ(formField(1, 1)->value, "1   ");
    EXPECT_EQ(formField(1, 2)->value, "999 ");
    EXPECT_EQ(browseListDef(1)->recordFile, 506);
    EXPECT_EQ(browseListDef(1)->listKey, 0);
    // The two range fields start in one column, whatever the language.
    EXPECT_EQ(formField(1, 1)->labelCol + formField(1, 1)->label.size(),
              formField(1, 2)->labelCol + formField(1, 2)->label.size())
        << language;
  }
  sessionSettings.languageCode = "CAT";
  ASSERT_EQ(readFormDefinition(formDefinitionFileName()), "");
  std::vector<std::string> texts = {formField(1, 1)->label, formField(1, 2)->label,
                                    formField(2, 1)->label, browseListDef(1)->heading};
  for (const char* report : {"P\xB7GINA ", "LLISTAT DE DEPARTAMENTS BUITS A ", "REBUT",
                             "ADRE\x80"
                             "A",
                             "        RENDA", "        RESTA"})
    texts.push_back(report);
  for (const std::string& text : texts) EXPECT_EQ(keys.count(text), 1u) << text;
}

// What the loader says about a damaged file has its translations too.
TEST_F(FormDefinitionTest, FaultsAreTranslated) {
  sessionSettings.rootDir = sourceDir() + "/dist/";
  sessionSettings.languageCode = "SPA";
  EXPECT_EQ(load(replaced(kForm, "2,3", "0,3")), "ERROR EN EL FICHERO DE PANTALLA " +
                                                     dir.file("FORM.KPN") +
                                                     ": L\xD6NEA 2: VALOR FUERA DE L\xD6MITES");
}

}  // namespace

#include "resources/form_definition.h"

#include <algorithm>
#include <optional>

#include "core/session_settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "records/record_file_messages.h"
#include "resources/language_file.h"
#include "ui/keyboard.h"
#include "ui/message_window.h"
#include "ui/window_stack.h"

FormModel formModel;

namespace {

constexpr char kEndOfData = 0x1A;
constexpr int16_t kScreenRows = 25;
constexpr int16_t kScreenColumns = 80;
constexpr int16_t kFatalMessageRow = 12;

// What can be wrong with a form file, as the administrator reads it.
const char* const kCannotRead = "NO ES POT LLEGIR EL FITXER";
const char* const kNumberExpected = "S'ESPERAVA UN NOMBRE";
const char* const kOutOfRange = "VALOR FORA DE L\xD6MITS";
const char* const kEndsEarly = "EL FITXER S'ACABA ABANS D'HORA";
const char* const kFieldOffScreen = "EL CAMP SURT DE LA PANTALLA";
const char* const kNoSuchPanel = "REFER\xD4NCIA A UN PANELL QUE NO EXISTEIX";
const char* const kNoSuchList = "REFER\xD4NCIA A UNA LLISTA QUE NO EXISTEIX";
const char* const kPanelCycle = "ELS PANELLS DE CONTINUACI\xE0 FORMEN UN CERCLE";
const char* const kDataAfterNoLists = "HI HA DADES DESPR\x90S DE ZERO LLISTES";
const char* const kRangeFields =
    "ELS CAMPS 1 I 2 DEL PANELL 1 HAN DE SER EDITABLES I DE 4 CAR\xB7"
    "CTERS COM A M\xB7XIM";
const char* const kConfirmationPanel = "FALTA EL PANELL 2";
const char* const kConfirmationField =
    "EL CAMP 1 DEL PANELL 2 HA DE SER EDITABLE I D'1 CAR\xB7"
    "CTER";
const char* const kMessageHeading = "ERROR EN EL FITXER DE PANTALLA ";
const char* const kLine = "L\xD6NIA ";

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}
bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// Items of a form file held in memory. Positions are byte offsets, so going back to the start
// of a line is exact whatever its line end (CR LF, LF alone, none on the last line).
class FormFileReader {
 public:
  explicit FormFileReader(const std::string& bytes) : bytes_(bytes) {}

  bool atEnd() const { return pos_ >= bytes_.size() || bytes_[pos_] == kEndOfData; }
  size_t position() const { return pos_; }

  // At the start of a group: passes over comment lines and blank lines, and stays at the
  // start of the first line that holds data.
  void skipCommentLines() {
    while (!atEnd()) {
      const size_t lineStart = pos_;
      size_t end = lineStart;
      while (end < bytes_.size() && !isLineEnd(bytes_[end])) ++end;
      size_t first = lineStart;
      while (first < end && isBlank(bytes_[first])) ++first;
      if (first < end && bytes_[first] != '\'') return;
      pos_ = end;
      skipOneLineEnd();
    }
  }

  // The next item. Blanks and line ends before it are passed over; a quoted item runs to the
  // closing quote (or the line end), an unquoted one to the next comma or line end, a number
  // also to the next blank. The comma or line end that ends the item is taken with it.
  std::string nextItem(bool number) {
    skipBlanksAndLineEnds();
    if (atEnd()) return "";
    std::string item;
    if (bytes_[pos_] == '"') {
      ++pos_;
      while (pos_ < bytes_.size() && bytes_[pos_] != '"' && !isLineEnd(bytes_[pos_]))
        item += bytes_[pos_++];
      if (pos_ < bytes_.size() && bytes_[pos_] == '"') ++pos_;
    } else {
      while (!atEnd() && bytes_[pos_] != ',' && !isLineEnd(bytes_[pos_]) &&
             !(number && isBlank(bytes_[pos_])))
        item += bytes_[pos_++];
    }
    while (pos_ < bytes_.size() && isBlank(bytes_[pos_])) ++pos_;
    if (atEnd()) return item;
    if (bytes_[pos_] == ',')
      ++pos_;
    else if (isLineEnd(bytes_[pos_]))
      skipOneLineEnd();
    return item;
  }

  // Where the next item starts (for messages).
  size_t nextItemPosition() {
    skipBlanksAndLineEnds();
    return pos_;
  }

  // 1-based line number of a byte offset.
  int lineAt(size_t offset) const {
    int line = 1;
    for (size_t i = 0; i < offset && i < bytes_.size(); ++i) {
      if (bytes_[i] == '\n' ||
          (bytes_[i] == '\r' && (i + 1 >= bytes_.size() || bytes_[i + 1] != '\n')))
        ++line;
    }
    return line;
  }

 private:
  void skipOneLineEnd() {
    if (pos_ < bytes_.size() && bytes_[pos_] == '\r') ++pos_;
    if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  }
  void skipBlanksAndLineEnds() {
    while (pos_ < bytes_.size() && (isBlank(bytes_[pos_]) || isLineEnd(bytes_[pos_]))) ++pos_;
  }

  const std::string& bytes_;
  size_t pos_ = 0;
};

// One load: the reader, the model being built and the first fault found.
class FormLoader {
 public:
  explicit FormLoader(const std::string& bytes) : reader_(bytes) {}

  bool load(FormModel& model);
  // The first fault with its line, "" when none.
  std::string problem() const {
    if (problem_.empty()) return "";
    return translateText(kLine) + std::to_string(reader_.lineAt(problemAt_)) + ": " +
           translateText(problem_);
  }

 private:
  struct Reference {
    int16_t value;
    bool toPanel;  // else to a browse list
    size_t at;
  };

  bool failed() const { return !problem_.empty(); }
  void fail(const char* problem, size_t at) {
    if (failed()) return;
    problem_ = problem;
    problemAt_ = at;
  }

  int16_t number(int16_t low, int16_t high);
  std::string text(bool translated);
  void box(int16_t& top, int16_t& left, int16_t& bottom, int16_t& right, bool optional);
  void panel(FormModel& model, FormPanel& panel);
  void field(const FormPanel& panel, FormField& field);
  void browseList(BrowseListDef& list);
  void reference(int16_t value, bool toPanel, size_t at) {
    references_.push_back({value, toPanel, at});
  }
  void checkReferences(const FormModel& model);
  void checkContinuationChains(const FormModel& model);
  void checkFixedFields(const FormModel& model);

  FormFileReader reader_;
  std::string problem_;
  size_t problemAt_ = 0;
  std::vector<Reference> references_;
  size_t headerAt_ = 0;
  std::vector<size_t> panelAt_;               // where each panel's block starts
  std::vector<size_t> nextPanelAt_;           // where each panel's nextPanel stands
  std::vector<std::vector<size_t>> fieldAt_;  // where each field of each panel starts
};

// A number between low and high. An item that is not a number, or one outside the bounds,
// is a fault; so is a missing item that cannot be 0 (the file ended inside its group).
int16_t FormLoader::number(int16_t low, int16_t high) {
  const size_t at = reader_.nextItemPosition();
  const bool ended = reader_.atEnd();
  std::string item = reader_.nextItem(true);
  if (ended && (low > 0 || high < 0)) {
    fail(kEndsEarly, at);
    return 0;
  }
  size_t i = 0;
  bool negative = false;
  if (i < item.size() && (item[i] == '+' || item[i] == '-')) negative = item[i++] == '-';
  if (i == item.size() && i > 0) {
    fail(kNumberExpected, at);
    return 0;
  }
  long value = 0;
  for (; i < item.size(); ++i) {
    if (item[i] < '0' || item[i] > '9') {
      fail(kNumberExpected, at);
      return 0;
    }
    value = std::min(value * 10 + (item[i] - '0'), 1000000L);
  }
  if (negative) value = -value;
  if (value < low || value > high) {
    fail(kOutOfRange, at);
    return 0;
  }
  return static_cast<int16_t>(value);
}

std::string FormLoader::text(bool translated) {
  std::string item = reader_.nextItem(false);
  return translated ? translateText(item) : item;
}

// A window on the 80 x 25 screen with room inside; with optional, top 0 means no window.
void FormLoader::box(int16_t& top, int16_t& left, int16_t& bottom, int16_t& right, bool optional) {
  const size_t at = reader_.nextItemPosition();
  top = number(optional ? 0 : 1, kScreenRows - 2);
  left = number(0, kScreenColumns);
  bottom = number(0, kScreenRows);
  right = number(0, kScreenColumns);
  if (failed() || (optional && top == 0)) return;
  if (left < 1 || bottom < top + 2 || right < left + 2) fail(kOutOfRange, at);
}

void FormLoader::field(const FormPanel& panel, FormField& field) {
  const size_t at = reader_.nextItemPosition();
  fieldAt_.back().push_back(at);
  field.row = number(1, kScreenRows);
  field.labelCol = number(1, kScreenColumns);
  field.label = text(true);
  field.width = number(1, kScreenRows * kScreenColumns);
  field.lineLength = number(0, kScreenColumns);
  field.trailBlank = number(0, kScreenColumns);
  field.flags = number(0, 15);
  field.checkKind = number(INT16_MIN, INT16_MAX);
  const size_t listAt = reader_.nextItemPosition();
  field.browseList = number(0, MaxBrowseLists);
  field.choices = text(true);
  if (failed()) return;
  reference(field.browseList, false, listAt);
  field.value.assign(static_cast<size_t>(field.width), ' ');

  // The label, the entry area and the blanked columns after it must lie on the screen.
  const int originRow = panel.boxTop != 0 ? panel.boxTop : 0;
  const int originCol = panel.boxTop != 0 ? panel.boxLeft : 0;
  const int areaWidth = field.lineLength != 0 ? field.lineLength : field.width;
  const int lines =
      field.lineLength != 0 ? (field.width + field.lineLength - 1) / field.lineLength : 1;
  const int lastRow = originRow + field.row + lines - 1;
  const long lastCol = originCol + field.labelCol + static_cast<long>(field.label.size()) +
                       areaWidth + field.trailBlank - 1;
  if (lastRow > kScreenRows || lastCol > kScreenColumns) fail(kFieldOffScreen, at);
}

void FormLoader::panel(FormModel& model, FormPanel& panel) {
  panelAt_.push_back(reader_.nextItemPosition());
  fieldAt_.push_back({0});
  panel.exitKeys = text(false);
  panel.fieldCount = number(1, model.maxFieldsPerPanel);
  const size_t nextAt = reader_.nextItemPosition();
  panel.nextPanel = number(0, MaxFormPanels);
  nextPanelAt_.push_back(nextAt);
  reference(panel.nextPanel, true, nextAt);
  box(panel.boxTop, panel.boxLeft, panel.boxBottom, panel.boxRight, true);
  panel.fields.assign(static_cast<size_t>(model.maxFieldsPerPanel) + 1, FormField{});
  for (int16_t f = 1; f <= panel.fieldCount && !failed(); ++f) field(panel, panel.fields[f]);
}

void FormLoader::browseList(BrowseListDef& list) {
  list.recordFile = number(0, INT16_MAX);
  list.listKey = number(0, 127);
  box(list.boxTop, list.boxLeft, list.boxBottom, list.boxRight, false);
  const size_t filterAt = reader_.nextItemPosition();
  list.filterPanel = number(0, MaxFormPanels);
  list.heading = text(true);
  const size_t linkedAt = reader_.nextItemPosition();
  list.linkedList = number(0, MaxBrowseLists);
  reference(list.filterPanel, true, filterAt);
  reference(list.linkedList, false, linkedAt);
}

void FormLoader::checkReferences(const FormModel& model) {
  for (const Reference& ref : references_) {
    const int16_t limit = ref.toPanel ? model.panelCount : model.browseListCount;
    if (ref.value > limit) fail(ref.toPanel ? kNoSuchPanel : kNoSuchList, ref.at);
  }
}

// Following nextPanel from any panel must end: the engine walks these chains.
void FormLoader::checkContinuationChains(const FormModel& model) {
  for (int16_t p = 1; p <= model.panelCount && !failed(); ++p) {
    int16_t reached = p;
    for (int16_t steps = 0; steps <= model.panelCount && reached != 0; ++steps)
      reached = model.panels[reached].nextPanel;
    if (reached != 0) fail(kPanelCycle, nextPanelAt_[p - 1]);
  }
}

// The range fields of panel 1 and the confirmation field of panel 2, which the engine uses
// by number.
void FormLoader::checkFixedFields(const FormModel& model) {
  if (model.panelCount < 2) return fail(kConfirmationPanel, headerAt_);
  const FormPanel& first = model.panels[1];
  if (first.fieldCount < 2) return fail(kRangeFields, panelAt_[0]);
  for (int16_t f = 1; f <= 2; ++f) {
    const FormField& range = first.fields[f];
    if (range.width > MaxRangeFieldWidth || (range.flags & FieldProtected))
      return fail(kRangeFields, fieldAt_[0][f]);
  }
  const FormField& confirmation = model.panels[2].fields[1];
  if (confirmation.width != 1 || (confirmation.flags & FieldProtected))
    fail(kConfirmationField, fieldAt_[1][1]);
}

bool FormLoader::load(FormModel& model) {
  enum class State { Header, Panels, ListCount, Lists, Done } state = State::Header;
  int16_t counter = 0;
  while (!reader_.atEnd() && state != State::Done && !failed()) {
    reader_.skipCommentLines();
    switch (state) {
      case State::Header:
        headerAt_ = reader_.nextItemPosition();
        model.panelCount = number(1, MaxFormPanels);
        model.maxFieldsPerPanel = number(1, MaxFieldsPerPanel);
        if (failed()) break;
        model.panels.assign(static_cast<size_t>(model.panelCount) + 1, FormPanel{});
        model.panels[0].fields.assign(static_cast<size_t>(model.maxFieldsPerPanel) + 1,
                                      FormField{});
        state = State::Panels;
        break;
      case State::Panels:
        panel(model, model.panels[++counter]);
        if (counter == model.panelCount) state = State::ListCount;
        break;
      case State::ListCount:
        model.browseListCount = number(0, MaxBrowseLists);
        model.browseLists.assign(static_cast<size_t>(model.browseListCount) + 1, BrowseListDef{});
        counter = 0;
        state = State::Lists;
        if (model.browseListCount == 0) {
          reader_.skipCommentLines();
          if (!reader_.atEnd()) fail(kDataAfterNoLists, reader_.position());
          state = State::Done;
        }
        break;
      case State::Lists:
        browseList(model.browseLists[++counter]);
        if (counter == model.browseListCount) state = State::Done;
        break;
      case State::Done:
        break;
    }
  }
  if (failed()) return false;
  // A file that ends before its header, inside its panels or inside its lists leaves
  // groups unread.
  if (state == State::Header || state == State::Panels || state == State::Lists) {
    fail(kEndsEarly, reader_.position());
    return false;
  }
  if (model.browseLists.empty()) model.browseLists.resize(1);
  checkReferences(model);
  checkContinuationChains(model);
  checkFixedFields(model);
  return !failed();
}

}  // namespace

std::string formDefinitionFileName() {
  return sessionSettings.rootDir + "FORMS\\" + sessionSettings.moduleName + ".KPN";
}

std::string readFormDefinition(const std::string& fileName) {
  resetFormModel();
  const std::string heading = translateText(kMessageHeading) + fileName + ": ";
  std::optional<std::string> bytes = readFileBytes(fileName);
  if (!bytes) return heading + translateText(kCannotRead);
  FormLoader loader(*bytes);
  FormModel model;
  if (!loader.load(model)) return heading + loader.problem();
  formModel = std::move(model);
  storeFieldValue(*formField(1, 1), "1");
  storeFieldValue(*formField(1, 2), "999");
  return "";
}

void loadFormDefinition() {
  std::string problem = readFormDefinition(formDefinitionFileName());
  if (problem.empty()) return;
  showMessageWindow(kFatalMessageRow, problem);
  console().beep();
  console().discardPendingInput();
  waitKey();
  closeWindow();
  endModuleAfterFatalMessage();
}

FormPanel* formPanel(int16_t panel) {
  if (panel < 1 || panel > formModel.panelCount ||
      static_cast<size_t>(panel) >= formModel.panels.size())
    return nullptr;
  return &formModel.panels[panel];
}

FormField* formField(int16_t panel, int16_t field) {
  FormPanel* owner = formPanel(panel);
  if (!owner || field < 1 || field > owner->fieldCount ||
      static_cast<size_t>(field) >= owner->fields.size())
    return nullptr;
  return &owner->fields[field];
}

BrowseListDef* browseListDef(int16_t list) {
  if (list < 1 || list > formModel.browseListCount ||
      static_cast<size_t>(list) >= formModel.browseLists.size())
    return nullptr;
  return &formModel.browseLists[list];
}

void storeFieldValue(FormField& field, const std::string& text) {
  field.value = text.substr(0, static_cast<size_t>(std::max<int16_t>(field.width, 0)));
  field.value.resize(static_cast<size_t>(std::max<int16_t>(field.width, 0)), ' ');
}

void resetFormModel() {
  formModel = FormModel{};
}

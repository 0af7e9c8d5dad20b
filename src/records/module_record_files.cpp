#include "records/module_record_files.h"

#include "core/session_settings.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"

void openModuleRecordFiles() {
  // The statuses are not tested: a failed open never comes back.
  int16_t status = 0;
  const std::string& root = sessionSettings.rootDir;
  openRecordFile(506, root + "DADES\\FinquesV", propertyRecord.bytes, status);
  openRecordFile(507, root + "DADES\\DepartaV", apartmentRecord.bytes, status);
  openRecordFile(503, root + "DADES\\TVRebut", conceptRecord.bytes, status);
}

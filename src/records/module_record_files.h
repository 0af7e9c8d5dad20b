// The three record files the module reads, opened at start-up for the whole run.
#pragma once

// Opens rootDir + "DADES\FinquesV" as 506, "DADES\DepartaV" as 507 and "DADES\TVRebut" as
// 503, in that order, bound to propertyRecord, apartmentRecord and conceptRecord. A file
// that cannot be opened ends the module with its message.
void openModuleRecordFiles();

// Where an installation keeps its record files, and moving them between the two back ends.
//
// An installation whose Quon.ini (in its root, the parent of the directory that holds the
// record files: "C:\KIV\" for "C:\KIV\DADES\FinquesV") has a key Servidor in section Dades
// keeps every record file as a table of that PostgreSQL database, named after the file's
// base name; otherwise each record file is an SQLite database at its path. The engine reads
// Quon.ini itself at every Open and Create, so every program of the installation follows
// the choice without being told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recman/record_manager.h"  // RecordStatus::ServerUnreachable

// The libpq connection string of the server holding the record file at `path`, or empty
// when the installation keeps SQLite files.
std::string recordFileServer(const std::string& path);

// A record file's base name: its last component up to its first dot ("DADES\FinquesV.dat"
// gives "FinquesV"), the name of its table on a server.
std::string recordFileBaseName(const std::string& path);

// The names of the record files a server holds.
int16_t listServerRecordFiles(const std::string& server, std::vector<std::string>& names);

// Copies the record file at `fromPath` of back end `fromServer` (empty: SQLite files) into a
// new record file at `toPath` of back end `toServer`: the same creation data, every record at
// its position, all read from one snapshot. The new file appears whole or not at all (one
// transaction). An existing target gives FileExists, unless `replace` is set and nobody has
// it open (FileLocked otherwise). `records` receives the number of records copied.
int16_t copyRecordFile(const std::string& fromServer, const std::string& fromPath,
                       const std::string& toServer, const std::string& toPath, bool replace,
                       uint32_t& records);

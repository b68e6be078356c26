// Creating an office on the office server (PostgreSQL): a new database with
// the office's tables, views, standard codes and settings, its procedures,
// and, on request, the same sample office the file builder makes.
//
// The SQL comes from db/postgres (embedded into the library at build time,
// or read from OfficeOptions::sqlDirectory, laid out as db/postgres; a
// sample office then takes its file sources from the folder "sqlite" beside
// it when there is one). The database is built under a temporary name and
// renamed into place when complete, so a failed run leaves nothing behind
// and a forced run keeps the old office until the new one is ready.
//
// Before: `office` names the server, the database to create and the
// credentials; the user may create databases (CREATEDB). The maintenance
// database "postgres" is reached with the same credentials.
// After: status Ok and the database holds a complete office; otherwise
// nothing was created and an existing office is unchanged. Statuses:
//   AlreadyExists   the database exists and overwrite was not asked for
//   InUse           overwrite was asked for, but clients are connected to it
//   InvalidOptions  no server, no or a reserved database name, a bad sample size
//   InvalidSource   the SQL sources are incomplete or fail on the server
//   DatabaseError   the server could not be reached or refused the work
// No message contains the password.
#pragma once

#include "gateway/postgres/connection.hpp"
#include "office/build.hpp"

namespace tarnwick::office {

OfficeResult CreateServerOffice(const postgres::ConnectionSettings& office, const OfficeOptions& options);

}  // namespace tarnwick::office

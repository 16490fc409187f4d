// Creating and seeding the world's tables.
#pragma once

#include "tools/dataserver/Sqlite.h"

namespace dataserver {

// True when the database already holds a world.
bool hasWorld(Database& db);
// Creates the tables and fills them with the seeded world, in one transaction.
void createWorld(Database& db);

} // namespace dataserver

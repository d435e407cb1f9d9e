// The question asked before a run replaces result tables that exist.
#pragma once

#include <string>
#include <vector>

#include "dao/Dao.h"

// Asks whether the result tables `first` and `second` (empty: none) may be
// overwritten, naming those that exist in `db` and are not among `agreed`
// (in any letter case). False when the user says No; true when nothing was to
// be asked or the user said Yes. `asked` (when given) receives the tables named.
bool AgreeToOverwrite(const dao::DatabasePtr& db, const std::string& first, const std::string& second,
                      const std::vector<std::string>& agreed, std::vector<std::string>* asked = nullptr);

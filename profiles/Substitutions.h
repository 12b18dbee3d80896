#pragma once
#include <string>
#include <vector>

#include "profiles/Profile.h"

namespace mv {

// Replaces every occurrence; text produced by a replacement is never searched again.
std::string ReplaceAll(const std::string& text, const std::string& find, const std::string& replace);

// Applies every pair in list order, in place. scratch is reused to avoid allocations per value.
void ApplySubstitutions(const std::vector<Substitution>& pairs, std::string& text, std::string& scratch);
std::string ApplySubstitutions(const std::vector<Substitution>& pairs, std::string text);

}  // namespace mv

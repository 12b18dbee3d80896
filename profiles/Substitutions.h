#pragma once
#include <string>
#include <vector>

#include "profiles/Profile.h"

namespace mv {

// Replaces every occurrence; text produced by a replacement is never searched again.
std::string ReplaceAll(const std::string& text, const std::string& find, const std::string& replace);

// How many times longer the pairs can make a value at most: each pair multiplies a length by
// its replacement's length over its find string's, when that is more than one, and a later pair
// also replaces what an earlier one wrote.
double SubstitutionGrowth(const std::vector<Substitution>& pairs);
// The most a profile's pairs may multiply a value's length by; a profile whose pairs could
// grow it more is refused (pairs that double a byte compound: 30 of them make a byte a gigabyte).
inline constexpr double kMaxSubstitutionGrowth = 64;
// The refusal for a profile whose pairs could grow a value past the bound; empty when they cannot.
std::string SubstitutionGrowthRefusal(const std::string& profileName, const std::vector<Substitution>& pairs);

// Applies every pair in list order, in place. scratch is reused to avoid allocations per value.
void ApplySubstitutions(const std::vector<Substitution>& pairs, std::string& text, std::string& scratch);
std::string ApplySubstitutions(const std::vector<Substitution>& pairs, std::string text);

}  // namespace mv

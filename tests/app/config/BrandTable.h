#pragma once

#include <string>
#include <vector>

#include "app/config/Api.h"

// What differs between the brands; everything else is checked by rule.
struct BrandCase {
    Api api;
    int ordinal;
    const char* configurationName;
    bool signsInThroughWebPages;  // has authorize and revoke end points
    bool hasRedirectURI;
};

inline const std::vector<BrandCase>& brandTable() {
    static const std::vector<BrandCase> table{
        {Api::orvella, 0, "Orvella", true, false},
        {Api::orvellaStaging, 1, "OrvellaStaging", true, true},
        {Api::varno, 2, "Varno", true, false},
        {Api::brimvale, 3, "Brimvale", false, false},
        {Api::brimvaleStaging, 4, "BrimvaleStaging", false, false},
        {Api::tallmere, 5, "Tallmere", true, false},
    };
    return table;
}

inline std::string brandCaseName(const BrandCase& c) { return c.configurationName; }

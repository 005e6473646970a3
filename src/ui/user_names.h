#pragma once
// The user and company names of the settings, written into the headers of the files the
// program makes for its user (the SPICE text libraries of the translation command).
#include <string>

namespace kq5 {

struct UserAndCompanyNames {
    std::string userName;     // empty when not set
    std::string companyName;  // empty when not set
};

UserAndCompanyNames& UserAndCompanyNamesSetting();
void ResetUserAndCompanyNamesForTests();

}  // namespace kq5

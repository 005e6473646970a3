#include "ui/user_names.h"

namespace kq5 {

UserAndCompanyNames& UserAndCompanyNamesSetting()
{
    static UserAndCompanyNames names;
    return names;
}

void ResetUserAndCompanyNamesForTests() { UserAndCompanyNamesSetting() = UserAndCompanyNames{}; }

}  // namespace kq5

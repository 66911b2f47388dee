#pragma once
// The program's two web addresses. They belong with the About window, which shows both; the main
// window's menu and the update check use them too.

#include <string_view>

namespace olvo {

// The maker's home page: a plain http folder address without a trailing slash. The update check
// appends "/products/versions.ini" to it.
inline constexpr std::string_view HomePageUrl = "http://www.example.com/olvo";

// The payment service's web-payment page with the donation form filled in. The account is the
// maker's e-mail address with "@" written "%40" and each "." written "%2e".
inline constexpr std::string_view DonationUrl =
    "https://www.paypal.com/cgi-bin/webscr"
    "?cmd=_xclick"
    "&business=donations%40example%2ecom"
    "&item_name=Software%20donation"
    "&no_shipping=1"
    "&cn=Optional%20comments"
    "&tax=0"
    "&currency_code=AUD"
    "&bn=PP%2dDonationsBF"
    "&charset=UTF%2d8";

}  // namespace olvo

// The booklet of a new box: a one-page PDF carrying its name, serial and label code.
#pragma once

#include <string>
#include <string_view>

namespace ovrel::simulateur {

std::string livretPdf(std::string_view nom, std::string_view serie, std::string_view code);

}  // namespace ovrel::simulateur

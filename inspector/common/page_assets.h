// The style and the script of every page the inspector writes: page.css and page.js of this
// folder, built into the program byte for byte (the build writes them into page_assets.cpp,
// through cmake/embed_page_assets.cmake).
#pragma once

#include <string_view>

namespace plcinfo {

std::string_view pageStyle();
std::string_view pageScript();

} // namespace plcinfo

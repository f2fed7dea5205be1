#include "fw_Framework.h"

fw_Framework* gFramework = nullptr;

fw_FrameworkState fw_Framework::sState;

void fw_Framework::ResetState() {
    sState = fw_FrameworkState();
}

std::string fw_Framework::MakeFinalMarkerPath() {
    return ".final";
}

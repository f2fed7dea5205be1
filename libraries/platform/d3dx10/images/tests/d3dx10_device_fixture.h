#pragma once
// The software device of the extension library's device tests: the graphics stand-in's test
// fixture, without its check that nothing else holds the device at the end.
#include "d3d10_test_util.h"

namespace d3dx10test {

class DeviceFixture : public d3d10test::DeviceTest {
protected:
    void TearDown() override {
        if (device)
            ReleaseDevice();
    }
};

}  // namespace d3dx10test

#include "Show.h"

#include "Caleidoscope.h"
#include "fw_Framework.h"

Caleidoscope* SetUpShow(fw_Framework& framework) {
    Caleidoscope* scene = new Caleidoscope("caleidoscope.xml");
    fw_Framework::AddScene(scene);

    static const char* const kPreloads[8] = {
        "./data/fucrr_2_0_0.dds", "./data/fucrr_2_0_1.dds", "./data/fucrr_2_1_0.dds", "./data/fucrr_2_1_1.dds",
        "./data/fucrr_2_2_0.dds", "./data/fucrr_2_2_1.dds", "./data/flipCard1.png",   "./data/flipCard2.png",
    };
    for (int i = 0; i < 8; ++i)
        framework.FindOrLoadTexture(kPreloads[i]);
    return scene;
}

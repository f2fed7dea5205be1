#pragma once
// The object types of the "Obj_MainType" and "Obj_AuxType" tracks. Every other value, 3
// among them, draws the sphere.
#include <cstdint>

enum ObjectType : int32_t {
    kObjectStation = 0,
    kObjectCube = 1,
    kObjectDiamond = 2,     // the main object also turns the simpler way
    kObjectTetrahedra = 3,  // the sphere, and the tetra simulation steps and draws
    kObjectCrystal = 4,
    kObjectSmallCrystals = 5,  // grown along the crystal paths unless mirrored
};

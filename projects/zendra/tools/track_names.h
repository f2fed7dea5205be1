#pragma once
// Every sync track that the framework and the production read, with the value a reader
// takes while the track has no keys. The timeline must key each one or declare it as
// left to this default.

#include <array>
#include <string_view>

namespace datagen {

struct KnownTrack {
    std::string_view name;
    float defaultValue;
    std::string_view reader;
};

inline constexpr std::array kKnownTracks = {
    // Frame loop.
    KnownTrack{"GotoRow", -1.0f, "frame loop: seek or end"},
    KnownTrack{"Scene", 0.0f, "frame loop: scene index"},
    // Stereo eye separation (read only while stereo is active).
    KnownTrack{"Separation", 6.0f, "eye matrix"},
    // Sync camera.
    KnownTrack{"cam_LookAtX", 0.0f, "sync camera"},
    KnownTrack{"cam_LookAtY", 0.0f, "sync camera"},
    KnownTrack{"cam_LookAtZ", 0.0f, "sync camera"},
    KnownTrack{"cam_Yaw", 0.0f, "sync camera"},
    KnownTrack{"cam_Pitch", 0.0f, "sync camera"},
    KnownTrack{"cam_Roll", 0.0f, "sync camera"},
    KnownTrack{"cam_DistToLookAt", 20.0f, "sync camera"},
    KnownTrack{"cam_OffsetX", 0.0f, "sync camera"},
    KnownTrack{"cam_OffsetY", 0.0f, "sync camera"},
    KnownTrack{"cam_Shake", 0.0f, "sync camera"},
    // Post passes.
    KnownTrack{"Post_Bloom", 1.0f, "bloom"},
    KnownTrack{"bloomCutoff", 1.0f, "bloom"},
    KnownTrack{"Post_Fade", 1.0f, "final passes"},
    KnownTrack{"Post_FadeShake", 0.0f, "final passes"},
    KnownTrack{"Post_RedExp", 1.0f, "final passes"},
    KnownTrack{"Post_GreenExp", 1.0f, "final passes"},
    KnownTrack{"Post_BlueExp", 1.0f, "final passes"},
    KnownTrack{"Post_Scale", 1.0f, "final passes"},
    KnownTrack{"Post_Glitch", 0.0f, "final passes"},
    KnownTrack{"Post_ChromaDistort", 0.0f, "final passes"},
    KnownTrack{"VignetteIntensity", 1.0f, "vignette"},
    KnownTrack{"vignetteShake", 0.0f, "vignette"},
    KnownTrack{"overlayIndex", 0.0f, "vignette overlay"},
    KnownTrack{"overlayScale", 1.0f, "vignette overlay"},
    KnownTrack{"overlayAlphaScale", 1.0f, "vignette overlay"},
    // Caleidoscope update.
    KnownTrack{"rndSeed", 0.0f, "auxiliary objects"},
    KnownTrack{"Obj_NumAux", 0.0f, "auxiliary objects"},
    KnownTrack{"Obj_AuxScale", 1.0f, "auxiliary objects"},
    KnownTrack{"Obj_AuxRot", 0.0f, "auxiliary objects"},
    KnownTrack{"Obj_AuxElevation", 0.0f, "auxiliary objects"},
    KnownTrack{"Obj_MainType", 0.0f, "main object"},
    KnownTrack{"Obj_MainCaleido", 0.0f, "main object (> 0: mirrored)"},
    KnownTrack{"Obj_AuxType", 0.0f, "auxiliary objects"},
    KnownTrack{"Obj_AuxCaleido", 0.0f, "auxiliary objects (> 0: mirrored)"},
    KnownTrack{"Obj_MainScale", 1.0f, "main object, tetra sphere radius"},
    KnownTrack{"Obj_MainRot", 0.0f, "main object"},
    KnownTrack{"Camera", 0.0f, "free camera while < 0"},
    KnownTrack{"Obj_BackRot", 0.0f, "background mesh"},
    KnownTrack{"VLightY", 0.0f, "light height"},
    KnownTrack{"VLightFOV", 90.0f, "light cone"},
    KnownTrack{"VLight", 50.0f, "light intensity, on while > 0"},
    KnownTrack{"DOF_Focus", 20.0f, "depth of field"},
    KnownTrack{"DOF_Scale", 50.0f, "depth of field"},
    KnownTrack{"DOF_Clamp", 50.0f, "depth of field"},
    KnownTrack{"Penrose1", 0.0f, "kaleidoscope"},
    KnownTrack{"Penrose2", 0.0f, "kaleidoscope"},
    KnownTrack{"Penrose3", 0.0f, "kaleidoscope"},
    // Caleidoscope render.
    KnownTrack{"Obj_CaleidoRot", 0.0f, "mirror planes"},
    KnownTrack{"Obj_SmallRot", 0.0f, "rings of small objects"},
    KnownTrack{"Obj_SmallElevation", 0.0f, "rings of small objects"},
    KnownTrack{"Obj_BackFade", 1.0f, "background mesh, drawn while > 0"},
    KnownTrack{"Atoms_Param", 0.0f, "flip-card transition, on while < 1"},
    KnownTrack{"Atoms_Image", 1.0f, "flip-card number"},
    KnownTrack{"Atoms_TransType", 0.0f, "transition type"},
    KnownTrack{"Post_Flares", 0.0f, "lens flares while > 0"},
    // Crystals.
    KnownTrack{"CRSTL_Num", 0.0f, "crystal growth"},
    KnownTrack{"CRSTL_GrowType", 0.0f, "crystal variant"},
    // Tetra simulation.
    KnownTrack{"FFT_Load", 0.0f, "load scenario n (edge)"},
    KnownTrack{"FFT_Save", 0.0f, "save scenario n (edge)"},
    KnownTrack{"FFT_Reset", 0.0f, "reset tetras (edge)"},
    KnownTrack{"FFT_LookAhead", 0.0f, "spectrum look-ahead, seconds"},
    KnownTrack{"FFT_Scale", 0.5f, "spectrum force"},
    // Dust.
    KnownTrack{"DUST_ColorScale", 1.0f, "dust colour"},
};

inline const KnownTrack* FindKnownTrack(std::string_view name) {
    for (const KnownTrack& track : kKnownTracks)
        if (track.name == name)
            return &track;
    return nullptr;
}

}  // namespace datagen

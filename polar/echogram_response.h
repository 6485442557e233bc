#pragma once
// The echogram's arrivals heard: the inputs of the impulse response at the receptor (every arrival
// with its band energies, the room's band reverberation times) and the response itself.

#include <optional>
#include <string>

#include "document/room_acoustics.h"
#include "hearing/decay.h"
#include "hearing/impulse_response.h"
#include "polar/echogram.h"
#include "polar/polar.h"

namespace velmora::polar {

// Each heard arrival (a blocked direct sound is not) at rso/c plus its delay, its energy in band b
// the arrival's energy times the product over its walls of (1 - alpha_b) / (1 - alpha): the same
// path with the walls' band coefficients in place of their single absorption. The tail decays with
// the room's Eyring reverberation time per band.
hearing::ResponseInputs responseInputs(const PolarInputs& in, const EchogramFigures& figures,
                                       const document::RoomAcoustics& room);

struct EchogramResponse {
  std::optional<std::string> refusal;  // the polar diagram's reason (receptor too close or outside)
  hearing::ImpulseResponse response;
  hearing::DecayFigures decay;
};

// The response at the receptor of a main window, with its decay figures.
EchogramResponse echogramResponse(const Runtime& rt, Handle mainWindow);

}  // namespace velmora::polar

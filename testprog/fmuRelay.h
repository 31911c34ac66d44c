// Page 3, "Реле": the relay byte read, written and pulsed, and composed with one tick per relay.
#pragma once

#include "testprog/untPage.h"

// The relay byte of a set of ticks and back; bit 0 is the least significant.
struct TRelayTick {
    int Id;
    int Bit;
};
extern const TRelayTick RelayTicks[8];

class TfmRelay : public TPage {
public:
    TfmRelay();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnGetStatusClick();
    void btnSetStatusClick();
    void btnToggleStatusClick();
    // Any tick changed: the edit shows the byte of the ticks.
    void chbOutBClick();
    void ShowRelayTicks(ITrelmo* driver);
    // The left column's relays are fed by the motherboard's +12 V; false when the read failed.
    bool UpdatePowerTicks(ITrelmo* driver);
};

// The simulated receiver's world: a vehicle driving a loop, the satellites
// over it, and the receiver's acquisition cycle after power-on or a restart.
//
// Time is counted in receiver seconds, one per burst. current() describes the
// second that is about to be reported; step() moves on to the next one.
#pragma once

class SimRandom;

#include <cstdint>
#include <optional>
#include <vector>

enum class FixKind { None, TwoD, ThreeD };
enum class RestartKind { Hot, Warm, Cold };
// In the order a multi-GNSS receiver reports them.
enum class GnssSystem { Gps, Glonass, Galileo, BeiDou };

struct SatelliteView {
    GnssSystem system = GnssSystem::Gps;
    // As receivers number them: GPS 1-32, GLONASS 65-96, Galileo 1-36, BeiDou 1-63.
    int prn = 0;
    int elevation = 0;  // degrees, 0 to 90
    int azimuth = 0;    // degrees true, 0 to 359
    int snr = -1;       // dB-Hz; -1 while the satellite is not tracked
    int secondSnr = -1; // on the second band (L2, G2, E5b, B2I); -1 when not tracked there
    bool used = false;  // part of the fix
};

struct ReceiverFix {
    FixKind fix = FixKind::None;
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
    double altitude = 0.0;  // metres above mean sea level
    double geoidSeparation = 0.0;
    double speedMps = 0.0;
    double courseDeg = 0.0; // true, 0 to 360
    double hdop = 99.9;
    double pdop = 99.9;
    double vdop = 99.9;
    std::vector<SatelliteView> satellites; // in view, by system, then ascending PRN
    std::vector<int> usedPrns;             // in the same order
};

struct ModelConfig {
    double latitude = 25.0339; // Taipei
    double longitude = 121.5645;
    double altitude = 45.0;
    double fixAfter = 8.0; // seconds from power-on to the first fix
    uint64_t seed = 1;
    // GLONASS, Galileo and BeiDou besides GPS; all but GLONASS on two bands.
    // The GPS sky and the track stay the ones the seed gives without it.
    bool multiGnss = false;
};

class ReceiverModel {
public:
    static constexpr int kGpsSatellites = 12;
    static constexpr int kAlmanacSize = 31;

    explicit ReceiverModel(const ModelConfig& config);

    ReceiverFix current() const;
    void step();

    // Drops the fix and acquires again; cold takes longest and forgets the sky.
    void restart(RestartKind kind);
    // The navigation library shut down: no satellites, no fix, until restart().
    void stop();
    bool running() const { return running_; }

    // An initial position: the next fix starts there. Applied at once while
    // there is no fix, otherwise at the next restart.
    void setInitialPosition(double latitude, double longitude, double altitude);
    bool initialPositionPending() const { return pendingOrigin_.has_value(); }

    // Seconds without a fix after a restart of this kind (scaled by fixAfter).
    double restartDelay(RestartKind kind) const;

    double uptime() const { return uptime_; }
    FixKind fixKind() const;
    int trackedCount() const;
    int almanacCount() const;

private:
    struct Orbit {
        int prn;
        double elevBase, elevAmp, elevPeriod, elevPhase;
        double azimuth0, azimuthRate;
        double snrOffset, snrPeriod, snrPhase;
        double acquireShare; // where in the acquisition window it locks, 0 to 1
        bool blockable;      // passes behind buildings now and then
        double blockPhase;
        GnssSystem system = GnssSystem::Gps;
        bool secondBand = false;   // sends on the second band as well
        double secondOffset = 0.0; // dB against the first band
    };
    static void DrawMotion(Orbit& o, SimRandom& random, double azimuthStart, int n);
    struct Origin {
        double latitude, longitude, altitude;
    };

    double elevationOf(const Orbit& orbit) const;
    bool inView(const Orbit& orbit) const;
    bool tracked(const Orbit& orbit) const;
    int snrOf(const Orbit& orbit) const;
    void addOtherSystems(uint64_t seed, double azimuthStart);
    FixKind lifeCycleFix() const;
    void applyOrigin(const Origin& origin);
    void trackOffset(double theta, double& east, double& north) const;
    void trackTangent(double theta, double& east, double& north) const;
    double vehicleSpeed() const;

    ModelConfig config_;
    bool running_ = true;
    double uptime_ = 0.0;
    double sinceRestart_ = 0.0;
    double noFixFor_ = 0.0;
    double twoDFor_ = 0.0;
    double blindFor_ = 0.0;
    double acquireFrom_ = 0.2, acquireTo_ = 0.9;
    double almanacAge_ = -1.0; // seconds since a cold restart; -1: complete

    std::vector<Orbit> orbits_;

    Origin origin_{};
    std::optional<Origin> pendingOrigin_;
    double radius_ = 300.0; // metres
    double wobble_ = 0.2;   // how far the loop departs from a circle
    double direction_ = 1.0;
    double theta0_ = 0.0, theta_ = 0.0;
    double speedBase_ = 11.0, speedSwing_ = 2.0, speedPhase_ = 0.0;
    bool moving_ = false; // parked until the first fix
    double movingFor_ = 0.0;
    double courseDeg_ = 0.0;
};

#include "receiver_model.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "sim_random.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6371008.8; // metres, mean
constexpr double kTrackingMask = 8.0;      // degrees: lower satellites are seen but not tracked
constexpr double kNavigationMask = 10.0;   // degrees: lower satellites are not used
constexpr double kGeoidSeparation = 17.0;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}
double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

double Wrap360(double degrees) {
    double d = std::fmod(degrees, 360.0);
    return d < 0.0 ? d + 360.0 : d;
}

double Wrap180(double degrees) {
    double d = Wrap360(degrees + 180.0) - 180.0;
    return d == -180.0 ? 180.0 : d;
}

} // namespace

// How a satellite moves and how its signal wanders, drawn in one order so a
// seed always gives the same sky. The n-th satellite starts its azimuth a
// golden angle on from the one before.
void ReceiverModel::DrawMotion(Orbit& o, SimRandom& random, double azimuthStart, int n) {
    o.elevPeriod = random.uniform(1800.0, 3600.0);
    o.elevPhase = random.uniform(0.0, 2.0 * kPi);
    o.azimuth0 = Wrap360(azimuthStart + n * 137.5 + random.uniform(-10.0, 10.0));
    o.azimuthRate = random.uniform(0.004, 0.015) * (random.chance(0.5) ? 1.0 : -1.0);
    o.snrOffset = random.uniform(-3.0, 3.0);
    o.snrPeriod = random.uniform(20.0, 60.0);
    o.snrPhase = random.uniform(0.0, 2.0 * kPi);
    o.acquireShare = random.uniform(0.0, 1.0);
    o.blockPhase = random.uniform(0.0, 2.0 * kPi);
}

ReceiverModel::ReceiverModel(const ModelConfig& config) : config_(config) {
    SimRandom random(config.seed);

    // Twelve distinct PRNs out of 32.
    std::array<int, 32> prns{};
    for (int i = 0; i < 32; ++i)
        prns[i] = i + 1;
    for (int i = 31; i > 0; --i)
        std::swap(prns[i], prns[random.uniformInt(0, i)]);

    // Eight satellites stay well up for the whole run, four rise and set: so
    // 8 to 12 are in view and the low ones are often seen but not tracked.
    const double azimuthStart = random.uniform(0.0, 360.0);
    orbits_.resize(kGpsSatellites);
    for (int i = 0; i < kGpsSatellites; ++i) {
        Orbit& o = orbits_[i];
        o.prn = prns[i];
        const bool high = i < 8;
        o.elevBase = high ? random.uniform(32.0, 55.0) : random.uniform(0.0, 10.0);
        o.elevAmp = high ? random.uniform(8.0, 22.0) : random.uniform(15.0, 30.0);
        DrawMotion(o, random, azimuthStart, i);
        o.blockable = i == 0;
    }
    std::sort(orbits_.begin(), orbits_.end(),
              [](const Orbit& a, const Orbit& b) { return a.prn < b.prn; });

    radius_ = random.uniform(150.0, 400.0);
    wobble_ = random.uniform(0.1, 0.3);
    direction_ = random.chance(0.5) ? 1.0 : -1.0;
    theta0_ = random.uniform(0.0, 2.0 * kPi);
    speedBase_ = random.uniform(8.0, 14.0);
    speedSwing_ = random.uniform(1.0, 3.0);
    speedPhase_ = random.uniform(0.0, 2.0 * kPi);

    if (config.multiGnss)
        addOtherSystems(config.seed, azimuthStart);

    applyOrigin({config.latitude, config.longitude, config.altitude});

    // Power-on acquires like a warm start that takes fixAfter seconds.
    noFixFor_ = std::max(0.0, config.fixAfter);
    twoDFor_ = noFixFor_ > 0.0 ? std::max(1.0, std::round(noFixFor_ / 4.0)) : 0.0;
}

void ReceiverModel::addOtherSystems(uint64_t seed, double azimuthStart) {
    // A sequence of their own, so that the seed keeps its GPS sky and its track.
    SimRandom random(seed ^ 0x676E7373ULL);

    // L2C only on the newer GPS satellites.
    for (Orbit& o : orbits_) {
        o.secondBand = random.chance(0.75);
        o.secondOffset = random.uniform(-4.0, 1.0);
    }

    struct Constellation {
        GnssSystem system;
        int firstPrn, lastPrn;
        int high, low;
        double secondBand; // share of satellites sending on it
    };
    // GLONASS slots count from 65; B2I only on the older BeiDou satellites.
    // The low ones never set but stay near the masks, so 28 to 32 satellites
    // are in view and some are seen but not used.
    static constexpr Constellation kOthers[] = {
        {GnssSystem::Glonass, 65, 88, 3, 3, 1.0},
        {GnssSystem::Galileo, 1, 36, 4, 3, 1.0},
        {GnssSystem::BeiDou, 1, 46, 4, 3, 0.5},
    };
    int n = kGpsSatellites;
    for (const Constellation& c : kOthers) {
        std::vector<int> prns;
        for (int prn = c.firstPrn; prn <= c.lastPrn; ++prn)
            prns.push_back(prn);
        for (int i = c.lastPrn - c.firstPrn; i > 0; --i)
            std::swap(prns[i], prns[random.uniformInt(0, i)]);
        for (int i = 0; i < c.high + c.low; ++i, ++n) {
            Orbit o{};
            o.system = c.system;
            o.prn = prns[i];
            if (i < c.high) {
                o.elevBase = random.uniform(25.0, 60.0);
                o.elevAmp = random.uniform(5.0, 20.0);
            } else {
                o.elevBase = random.uniform(5.0, 9.0);
                o.elevAmp = random.uniform(2.0, o.elevBase - 1.5);
            }
            DrawMotion(o, random, azimuthStart, n);
            o.blockable = i == 0;
            o.secondBand = random.chance(c.secondBand);
            o.secondOffset = random.uniform(-4.0, 1.0);
            orbits_.push_back(o);
        }
    }
    std::stable_sort(orbits_.begin(), orbits_.end(), [](const Orbit& a, const Orbit& b) {
        return a.system != b.system ? a.system < b.system : a.prn < b.prn;
    });
}

double ReceiverModel::restartDelay(RestartKind kind) const {
    const double scale = std::max(0.0, config_.fixAfter) / 8.0;
    switch (kind) {
    case RestartKind::Hot:
        return 2.0 * scale;
    case RestartKind::Warm:
        return 5.0 * scale;
    case RestartKind::Cold:
        return 12.0 * scale;
    }
    return 0.0;
}

void ReceiverModel::restart(RestartKind kind) {
    running_ = true;
    sinceRestart_ = 0.0;
    noFixFor_ = restartDelay(kind);
    twoDFor_ = noFixFor_ > 0.0 ? std::max(1.0, std::round(noFixFor_ / 4.0)) : 0.0;
    switch (kind) {
    case RestartKind::Hot:
        blindFor_ = 0.0;
        acquireFrom_ = 0.1;
        acquireTo_ = 0.6;
        break;
    case RestartKind::Warm:
        blindFor_ = 0.0;
        acquireFrom_ = 0.2;
        acquireTo_ = 0.9;
        break;
    case RestartKind::Cold:
        // No almanac: the sky is unknown until the first satellites are found.
        blindFor_ = std::round(0.4 * noFixFor_);
        acquireFrom_ = 0.5;
        acquireTo_ = 0.95;
        almanacAge_ = 0.0;
        break;
    }
    if (pendingOrigin_) {
        applyOrigin(*pendingOrigin_);
        pendingOrigin_.reset();
    }
}

void ReceiverModel::stop() {
    running_ = false;
}

void ReceiverModel::setInitialPosition(double latitude, double longitude, double altitude) {
    const Origin origin{latitude, longitude, altitude};
    if (fixKind() == FixKind::None)
        applyOrigin(origin);
    else
        pendingOrigin_ = origin;
}

void ReceiverModel::applyOrigin(const Origin& origin) {
    origin_ = origin;
    // The flat-earth offsets below break down at the poles.
    origin_.latitude = std::clamp(origin.latitude, -89.0, 89.0);
    origin_.longitude = Wrap180(origin.longitude);
    theta_ = theta0_;
    moving_ = false;
    movingFor_ = 0.0;
}

double ReceiverModel::elevationOf(const Orbit& o) const {
    return o.elevBase + o.elevAmp * std::sin(2.0 * kPi * uptime_ / o.elevPeriod + o.elevPhase);
}

bool ReceiverModel::inView(const Orbit& o) const {
    return running_ && sinceRestart_ >= blindFor_ && elevationOf(o) > 0.0;
}

bool ReceiverModel::tracked(const Orbit& o) const {
    if (!inView(o) || elevationOf(o) < kTrackingMask)
        return false;
    const double lockAt = noFixFor_ * (acquireFrom_ + (acquireTo_ - acquireFrom_) * o.acquireShare);
    if (sinceRestart_ < lockAt)
        return false;
    if (o.blockable && std::sin(2.0 * kPi * uptime_ / 300.0 + o.blockPhase) > -0.2)
        return false;
    return true;
}

int ReceiverModel::snrOf(const Orbit& o) const {
    const double swing = 2.5 * std::sin(2.0 * kPi * uptime_ / o.snrPeriod + o.snrPhase);
    const double snr = 20.0 + 26.0 * std::sin(Radians(elevationOf(o))) + o.snrOffset + swing;
    return static_cast<int>(std::lround(std::clamp(snr, 12.0, 54.0)));
}

int ReceiverModel::trackedCount() const {
    return static_cast<int>(std::count_if(orbits_.begin(), orbits_.end(),
                                          [this](const Orbit& o) { return tracked(o); }));
}

FixKind ReceiverModel::lifeCycleFix() const {
    if (!running_ || sinceRestart_ < noFixFor_)
        return FixKind::None;
    return sinceRestart_ < noFixFor_ + twoDFor_ ? FixKind::TwoD : FixKind::ThreeD;
}

FixKind ReceiverModel::fixKind() const {
    // The life cycle decides, but never claims more than the sky allows.
    int usable = 0;
    for (const Orbit& o : orbits_)
        if (tracked(o) && elevationOf(o) >= kNavigationMask)
            ++usable;
    const FixKind wanted = lifeCycleFix();
    if (usable < 3)
        return FixKind::None;
    if (usable < 4 && wanted == FixKind::ThreeD)
        return FixKind::TwoD;
    return wanted;
}

int ReceiverModel::almanacCount() const {
    if (almanacAge_ < 0.0)
        return kAlmanacSize;
    // A full almanac takes 12.5 minutes to collect, scaled like the restarts.
    const double full = 750.0 * std::max(0.02, config_.fixAfter / 8.0);
    return std::min(kAlmanacSize, static_cast<int>(kAlmanacSize * almanacAge_ / full));
}

void ReceiverModel::trackOffset(double theta, double& east, double& north) const {
    const double r = radius_ * (1.0 + wobble_ * std::sin(2.0 * theta));
    const double r0 = radius_ * (1.0 + wobble_ * std::sin(2.0 * theta0_));
    east = r * std::cos(theta) - r0 * std::cos(theta0_);
    north = r * std::sin(theta) - r0 * std::sin(theta0_);
}

void ReceiverModel::trackTangent(double theta, double& east, double& north) const {
    const double r = radius_ * (1.0 + wobble_ * std::sin(2.0 * theta));
    const double dr = 2.0 * radius_ * wobble_ * std::cos(2.0 * theta);
    east = direction_ * (dr * std::cos(theta) - r * std::sin(theta));
    north = direction_ * (dr * std::sin(theta) + r * std::cos(theta));
}

double ReceiverModel::vehicleSpeed() const {
    if (!moving_)
        return 0.0;
    const double cruise =
        speedBase_ + speedSwing_ * std::sin(2.0 * kPi * uptime_ / 97.0 + speedPhase_);
    // Pulls away gently after being parked.
    return cruise * std::min(1.0, movingFor_ / 10.0);
}

ReceiverFix ReceiverModel::current() const {
    ReceiverFix out;
    for (const Orbit& o : orbits_) {
        if (!inView(o))
            continue;
        SatelliteView view;
        view.system = o.system;
        view.prn = o.prn;
        view.elevation = std::clamp(static_cast<int>(std::lround(elevationOf(o))), 0, 90);
        view.azimuth =
            static_cast<int>(std::lround(Wrap360(o.azimuth0 + o.azimuthRate * uptime_))) % 360;
        view.snr = tracked(o) ? snrOf(o) : -1;
        if (o.secondBand && view.snr >= 0)
            view.secondSnr =
                std::clamp(view.snr + static_cast<int>(std::lround(o.secondOffset)), 12, 54);
        out.satellites.push_back(view);
    }

    out.fix = fixKind();
    if (out.fix == FixKind::None)
        return out;

    // Used: the strongest three for a 2D fix, every usable one for 3D.
    std::vector<SatelliteView*> usable;
    for (SatelliteView& view : out.satellites)
        if (view.snr >= 0 && view.elevation >= kNavigationMask)
            usable.push_back(&view);
    std::stable_sort(
        usable.begin(), usable.end(),
        [](const SatelliteView* a, const SatelliteView* b) { return a->snr > b->snr; });
    if (out.fix == FixKind::TwoD && usable.size() > 3)
        usable.resize(3);
    for (SatelliteView* view : usable)
        view->used = true;
    for (const SatelliteView& view : out.satellites)
        if (view.used)
            out.usedPrns.push_back(view.prn);

    double east = 0.0, north = 0.0;
    trackOffset(theta_, east, north);
    out.latitude = origin_.latitude + Degrees(north / kEarthRadius);
    out.longitude = Wrap180(origin_.longitude +
                            Degrees(east / (kEarthRadius * std::cos(Radians(origin_.latitude)))));
    out.altitude = origin_.altitude + 3.0 * std::sin(theta_ - theta0_);
    out.geoidSeparation = kGeoidSeparation;
    out.speedMps = vehicleSpeed();
    out.courseDeg = courseDeg_;

    const double n = static_cast<double>(out.usedPrns.size());
    out.hdop = 0.5 + 4.0 / n + 0.1 * std::sin(uptime_ / 50.0);
    out.pdop = out.hdop * 1.6;
    out.vdop = out.hdop * 1.25;
    return out;
}

void ReceiverModel::step() {
    if (!moving_ && fixKind() != FixKind::None)
        moving_ = true;
    if (moving_) {
        const double speed = vehicleSpeed();
        double te = 0.0, tn = 0.0;
        trackTangent(theta_, te, tn);
        theta_ += direction_ * speed / std::hypot(te, tn);
        movingFor_ += 1.0;
        // The heading the vehicle has where it now is.
        trackTangent(theta_, te, tn);
        courseDeg_ = Wrap360(Degrees(std::atan2(te, tn)));
    }
    uptime_ += 1.0;
    sinceRestart_ += 1.0;
    if (almanacAge_ >= 0.0) {
        almanacAge_ += 1.0;
        if (almanacCount() >= kAlmanacSize)
            almanacAge_ = -1.0;
    }
}

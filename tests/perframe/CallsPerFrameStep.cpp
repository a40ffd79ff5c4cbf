// A program whose pass calls the pin's per-frame step out of line, as a build that lost the
// inlining would: scripts/check-per-frame-inlined.sh must reject it (its test expects failure).

namespace tt {

struct PinModel {
    double level = 0.0;
    [[gnu::noinline]] double step(double target);
};

double PinModel::step(double target)
{
    level = level + (target - level) * 0.5;
    return level;
}

struct StreamingConversion {
    [[gnu::noinline]] static double run(double target);
};

double StreamingConversion::run(double target)
{
    PinModel pin;
    for (int frame = 0; frame < 8; ++frame) {
        pin.step(target + frame);
    }
    return pin.level;
}

} // namespace tt

int main(int argc, char**)
{
    return tt::StreamingConversion::run(double(argc)) > 0.0 ? 0 : 1;
}

// Course pieces: sampling straights and arcs, and the obstacle profiles.
#include "datagen/course.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "datagen/datagen.h"

// Lengths of the parts of the jumps (ft).
static const double FACE = 20;        // takeoff face, concave up to the lip
static const double LIP = 2;
static const double BACK = 8;         // back side of a takeoff or the front of a landing mound
static const double LAND_TOP = 3;
static const double LANDING = 30;     // landing slope down to the flat
static const double WHOOP = 11;
static const double RHYTHM = 18;
static const double ROLLER = 26;

double obstacle_length(const Obstacle &o)
{
    switch (o.kind) {
    case OB_ROLLER: return ROLLER;
    case OB_TABLETOP: return FACE + o.gap + LANDING;
    case OB_DOUBLE: return FACE + LIP + BACK + o.gap + BACK + LAND_TOP + LANDING;
    case OB_TRIPLE: return FACE + LIP + BACK + 2 * o.gap + (BACK + LAND_TOP + BACK) + BACK + LAND_TOP + LANDING;
    case OB_STEPUP: return FACE + o.gap + 2 * LANDING;
    case OB_WHOOPS: return WHOOP * o.count;
    case OB_RHYTHM: return RHYTHM * o.count;
    }
    return 0;
}

bool obstacle_is_jump(ObstacleKind kind)
{
    return kind == OB_TABLETOP || kind == OB_DOUBLE || kind == OB_TRIPLE || kind == OB_STEPUP;
}

static double hump(double t, double length)  // smooth bump 0..1..0 over length
{
    double u = t / length * 2 - 1;
    if (u <= -1 || u >= 1)
        return 0;
    double v = 1 - u * u;
    return v * v;
}

static double face(double t)  // concave takeoff 0..1 over FACE
{
    double x = dg_clamp(t / FACE, 0, 1);
    return x * x;
}

static double down(double t, double length)  // 1..0 over length
{
    return 1 - dg_smoothstep(t / length);
}

static double up(double t, double length)  // 0..1 over length
{
    return dg_smoothstep(t / length);
}

// A takeoff mound: face, lip, back side; t from its start.
static double takeoff(double t)
{
    if (t < FACE)
        return face(t);
    if (t < FACE + LIP)
        return 1;
    return down(t - FACE - LIP, BACK);
}

// A landing mound: steep front, short top, long landing.
static double landing(double t)
{
    if (t < BACK)
        return up(t, BACK);
    if (t < BACK + LAND_TOP)
        return 1;
    return down(t - BACK - LAND_TOP, LANDING);
}

double obstacle_height(const Obstacle &o, double t)
{
    double length = obstacle_length(o);
    if (t <= 0 || t >= length)
        return 0;
    double h = o.height;
    switch (o.kind) {
    case OB_ROLLER:
        return h * hump(t, ROLLER);
    case OB_TABLETOP:
        if (t < FACE)
            return h * face(t);
        if (t < FACE + o.gap)
            return h;
        return h * down(t - FACE - o.gap, LANDING);
    case OB_STEPUP:
        if (t < FACE)
            return h * face(t);
        if (t < FACE + o.gap)
            return h;
        return h * down(t - FACE - o.gap, 2 * LANDING);
    case OB_DOUBLE: {
        double first = FACE + LIP + BACK;
        if (t < first)
            return h * takeoff(t);
        if (t < first + o.gap)
            return 0;
        return h * landing(t - first - o.gap);
    }
    case OB_TRIPLE: {
        double first = FACE + LIP + BACK;
        double middle = BACK + LAND_TOP + BACK;
        if (t < first)
            return h * takeoff(t);
        t -= first;
        if (t < o.gap)
            return 0;
        t -= o.gap;
        if (t < middle) {
            double m = t < BACK ? up(t, BACK) : (t < BACK + LAND_TOP ? 1 : down(t - BACK - LAND_TOP, BACK));
            return 0.8 * h * m;
        }
        t -= middle;
        if (t < o.gap)
            return 0;
        return h * landing(t - o.gap);
    }
    case OB_WHOOPS: {
        double k = dg_floor(t / WHOOP);
        return h * hump(t - k * WHOOP, WHOOP);
    }
    case OB_RHYTHM: {
        double k = dg_floor(t / RHYTHM);
        // Mixed heights so the section can be jumped in different ways.
        static const double scale[5] = {0.8, 1.0, 0.7, 1.0, 0.85};
        double u = (t - k * RHYTHM) / RHYTHM * 2 - 1;
        return h * scale[(int)k % 5] * (1 - u * u);
    }
    }
    return 0;
}

double piece_profile(const CoursePiece &piece, double s)
{
    if (piece.closed && piece.length > 0) {
        s -= dg_floor(s / piece.length) * piece.length;
    }
    double h = 0;
    for (const PlacedObstacle &p : piece.obstacles)
        if (s > p.start && s < p.start + p.length)
            h += obstacle_height(p.obstacle, s - p.start);
    return h;
}

CourseBuilder course_begin(CoursePiece *piece, double x, double z, double heading, double half_width)
{
    piece->samples.clear();
    piece->obstacles.clear();
    piece->length = 0;
    CourseBuilder b = {piece, x, z, heading, half_width};
    return b;
}

static void emit(CourseBuilder *b, double berm, double camber, double outside, bool turn)
{
    CourseSample s;
    s.x = b->x;
    s.z = b->z;
    s.tx = dg_cos(b->heading);
    s.tz = dg_sin(b->heading);
    s.s = b->piece->length;
    s.half_width = b->half_width;
    s.berm = berm;
    s.camber = camber;
    s.outside = outside;
    s.turn = turn;
    s.ground = 0;
    b->piece->samples.push_back(s);
}

void course_straight(CourseBuilder *b, double length, const std::vector<Obstacle> &obstacles, double end_half_width)
{
    double used = 0;
    for (const Obstacle &o : obstacles)
        used += obstacle_length(o);
    double run = (length - used) / (double)(obstacles.size() + 1);
    if (run < 0) {
        fprintf(stderr, "zorvex-data: obstacles do not fit a straight of %.0f ft\n", length);
        exit(1);
    }
    double at = b->piece->length + run;
    for (const Obstacle &o : obstacles) {
        PlacedObstacle placed = {o, at, obstacle_length(o)};
        b->piece->obstacles.push_back(placed);
        at += placed.length + run;
    }
    // Steps of the exact length, so a straight of any length ends where it
    // should (a closing straight must land on the lap's start).
    int steps = (int)(length / SAMPLE_STEP + 0.5);
    if (steps < 1 && length > 0)
        steps = 1;
    double step = steps > 0 ? length / steps : 0;
    double w0 = b->half_width, w1 = end_half_width > 0 ? end_half_width : w0;
    double dx = dg_cos(b->heading) * step, dz = dg_sin(b->heading) * step;
    for (int k = 0; k < steps; k++) {
        b->half_width = dg_lerp(w0, w1, (double)k / steps);
        emit(b, 0, 0, 0, false);
        b->x += dx;
        b->z += dz;
        b->piece->length += step;
    }
    b->half_width = w1;
}

void course_arc(CourseBuilder *b, double radius, double degrees, double berm, double camber, double half_width)
{
    if (degrees == 0)
        return;
    double total = radius * (degrees < 0 ? -degrees : degrees) * DG_PI / 180;
    int steps = (int)(total / SAMPLE_STEP + 0.5);
    if (steps < 1)
        steps = 1;  // even a sliver of a turn must turn the pen
    double turn = degrees * DG_PI / 180 / steps;
    double sign = degrees < 0 ? -1 : 1;
    // Turning toward (-sin h, cos h): the outside is the other way.
    double outside = -sign;
    double w0 = b->half_width, w1 = half_width > 0 ? half_width : w0;
    double step = total / steps;
    for (int k = 0; k < steps; k++) {
        double along = k * step;
        double ramp = dg_smoothstep((along < total - along ? along : total - along) / 20);
        b->half_width = dg_lerp(w0, w1, ramp);
        emit(b, berm * ramp, camber * ramp, outside, true);
        // Midpoint rule keeps the path on the circle to second order.
        double mid = b->heading + turn / 2;
        b->x += dg_cos(mid) * step;
        b->z += dg_sin(mid) * step;
        b->heading += turn;
        b->piece->length += step;
    }
    b->half_width = w0;
}

// Heading turned after `u` ft of a bend whose curvature rises linearly from
// 0 to `curvature` over `ease` ft, holds, and falls back over the last `ease`.
static double bend_angle(double u, double total, double ease, double curvature)
{
    if (ease <= 0)
        return curvature * u;
    if (u <= ease)
        return curvature * u * u / (2 * ease);
    if (u <= total - ease)
        return curvature * (ease / 2 + (u - ease));
    double rest = total - u;
    return curvature * (total - ease) - curvature * rest * rest / (2 * ease);
}

void course_bend(CourseBuilder *b, double radius, double degrees, double ease, double berm, double camber,
                 double half_width)
{
    if (degrees == 0)
        return;
    double angle = degrees * DG_PI / 180;
    double arc = radius * (angle < 0 ? -angle : angle);
    if (ease > arc)
        ease = arc;  // all transition: the radius is reached only at the middle
    if (ease < 0)
        ease = 0;
    double total = arc + ease;
    if (!(total > 0)) {
        b->heading += angle;  // no length to turn along
        return;
    }
    double curvature = angle / (total - ease);
    int steps = (int)(total / SAMPLE_STEP + 0.5);
    if (steps < 1)
        steps = 1;
    double step = total / steps;
    double outside = degrees < 0 ? 1 : -1;
    double w0 = b->half_width, w1 = half_width > 0 ? half_width : w0;
    // Bank and width build up with the curvature, and never faster than over 20 ft.
    double build = ease > 20 ? ease : 20;
    double h0 = b->heading;
    for (int k = 0; k < steps; k++) {
        double along = k * step;
        double ramp = dg_smoothstep((along < total - along ? along : total - along) / build);
        b->half_width = dg_lerp(w0, w1, ramp);
        emit(b, berm * ramp, camber * ramp, outside, true);
        double mid = h0 + bend_angle(along + step / 2, total, ease, curvature);
        b->x += dg_cos(mid) * step;
        b->z += dg_sin(mid) * step;
        b->heading = h0 + bend_angle(along + step, total, ease, curvature);
        b->piece->length += step;
    }
    b->heading = h0 + angle;
    b->half_width = w0;
}

// Angle in (-2 pi, 2 pi) turned the way `sign` says to go from `from` to `to`.
static double turn_between(double from, double to, int sign)
{
    double a = to - from;
    a -= dg_floor(a / (2 * DG_PI)) * 2 * DG_PI;  // [0, 2 pi)
    if (a > 2 * DG_PI - 1e-12)
        a = 0;
    if (sign < 0 && a > 0)
        a -= 2 * DG_PI;
    return a;
}

bool course_plan_join(const CourseBuilder *b, double radius1, int turn1, double radius2, int turn2, double x,
                      double z, double heading, CourseJoin *join)
{
    // Each circle's centre lies on the turning side of its end of the path;
    // the straight is the tangent between the circles that leaves the first
    // and meets the second the ways they turn.
    double s1 = turn1 < 0 ? -1 : 1, s2 = turn2 < 0 ? -1 : 1;
    double c1x = b->x - s1 * radius1 * dg_sin(b->heading), c1z = b->z + s1 * radius1 * dg_cos(b->heading);
    double c2x = x - s2 * radius2 * dg_sin(heading), c2z = z + s2 * radius2 * dg_cos(heading);
    double vx = c2x - c1x, vz = c2z - c1z;
    double k = s2 * radius2 - s1 * radius1;
    double l2 = vx * vx + vz * vz - k * k;
    if (l2 < 0)
        return false;
    double length = std::sqrt(l2);
    double theta = dg_atan2(vz, vx) - dg_atan2(k, length);
    join->first_degrees = turn_between(b->heading, theta, turn1) * 180 / DG_PI;
    join->straight = length;
    join->second_degrees = turn_between(theta, heading, turn2) * 180 / DG_PI;
    return true;
}

double course_gap(const CourseBuilder *b, double x, double z)
{
    double dx = b->x - x, dz = b->z - z;
    return std::sqrt(dx * dx + dz * dz);
}

void course_end(CourseBuilder *b, bool closed)
{
    b->piece->closed = closed;
}

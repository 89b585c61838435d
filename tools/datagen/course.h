// A track's course: a closed lap and a start straight that joins it, built
// from straights and arcs, with the obstacles laid along them.
#pragma once
#include <string>
#include <vector>

enum ObstacleKind {
    OB_ROLLER,     // smooth hump
    OB_TABLETOP,   // face, flat top, landing
    OB_DOUBLE,     // takeoff, gap, landing mound
    OB_TRIPLE,     // takeoff, two gaps around a middle mound, landing
    OB_STEPUP,     // face up onto a plateau, long way down
    OB_WHOOPS,     // a run of small close humps
    OB_RHYTHM,     // a run of mixed mounds without gaps
};

struct Obstacle {
    ObstacleKind kind;
    double height;   // ft
    int count = 1;   // whoops and rhythm mounds
    double gap = 40; // doubles and triples: flat between the mounds
};

// Placed on the course: `start` is the distance along the piece where it begins.
struct PlacedObstacle {
    Obstacle obstacle;
    double start;
    double length;
};

double obstacle_length(const Obstacle &obstacle);
// Height of the obstacle at distance t from its start (0 outside it).
double obstacle_height(const Obstacle &obstacle, double t);
// True where a rider is normally in the air over a gap.
bool obstacle_is_jump(ObstacleKind kind);

struct CourseSample {
    double x, z;        // centre line
    double tx, tz;      // unit direction of travel
    double s;           // distance along the piece
    double half_width;
    double berm;        // slope of the outside half (ft per ft), > 0 on banked turns
    double camber;      // slope down toward the outside over the whole width (off-camber)
    double outside;     // +1 when the outside of the turn is along (-tz, tx), -1 the other way, 0 straight
    bool turn;
    double ground;      // natural ground height under the centre line, smoothed along it
};

struct CoursePiece {
    std::vector<CourseSample> samples;   // every SAMPLE_STEP ft
    std::vector<PlacedObstacle> obstacles;
    bool closed = false;
    double length = 0;
};

constexpr double SAMPLE_STEP = 0.5;

// Height of the obstacles of a piece at distance s along it.
double piece_profile(const CoursePiece &piece, double s);

// Builds a piece by moving a pen: heading in radians, direction (cos h, sin h)
// in the x-z plane.
struct CourseBuilder {
    CoursePiece *piece;
    double x, z, heading;
    double half_width;
};

CourseBuilder course_begin(CoursePiece *piece, double x, double z, double heading, double half_width);
// A straight of `length` with the obstacles spread along it: equal run-ups
// before, between and after them. `end_half_width` tapers the width (0 keeps it).
void course_straight(CourseBuilder *b, double length, const std::vector<Obstacle> &obstacles = {},
                     double end_half_width = 0);
// An arc turning by `degrees` (positive: toward (-sin h, cos h)); `berm` banks
// the outside, `camber` tilts the whole width down to the outside.
void course_arc(CourseBuilder *b, double radius, double degrees, double berm = 0, double camber = 0,
                double half_width = 0);
// A turn like course_arc whose curvature eases in and out over `ease` ft at
// each end (a transition, as a rider carves it), reaching `radius` between.
void course_bend(CourseBuilder *b, double radius, double degrees, double ease, double berm = 0, double camber = 0,
                 double half_width = 0);

// The way from the pen to a point and heading: a turn, a straight, a turn.
struct CourseJoin {
    double first_degrees;    // as course_arc takes them
    double straight;         // ft
    double second_degrees;
};
// Plans a join with arcs of `radius1` then `radius2`, each turning the way
// its sign says (+1 positive, -1 negative). False when the two circles lie
// so that no tangent leaves the first and meets the second those ways.
bool course_plan_join(const CourseBuilder *b, double radius1, int turn1, double radius2, int turn2, double x,
                      double z, double heading, CourseJoin *join);
// Where the pen is now compared with a point: distance (for closing a lap).
double course_gap(const CourseBuilder *b, double x, double z);
void course_end(CourseBuilder *b, bool closed);

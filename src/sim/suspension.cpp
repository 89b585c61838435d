// Fork and shock forces, handed to the slider and pivot motors each step.
#include "sim/suspension.h"

#include <cmath>

#include "sim/bike.h"
#include "sim/sim_math.h"

double damping_law(double v, double hsc, double lsc, double hsr, double lsr)
{
    if (v < 0) {
        double d = -v * hsc;
        return clampd(lsc + d, d / 8, 8 * d);
    }
    double d = -v * hsr;
    return clampd(d - lsr, 8 * d, d / 8);
}

double fork_air_spring(double p, double travel, double gap)
{
    double x = clampd(-p, 0, travel);
    double length = travel + gap;
    return 82.4616928 * (pow(length / (length - x), 1.4) - 1);
}

double fork_force(const ForkCoefficients &c, double p, double v)
{
    double damping = damping_law(v, c.hsc, c.lsc, c.hsr, c.lsr);
    double spring = c.k * (c.preload - p);
    double air = fork_air_spring(p, c.travel, c.gap);
    double fade = clampd(-p / (c.travel / 32), 0, 1);
    return fade * (damping + spring + air);
}

static void hermite(double u, double u0, double h, double p0, double p1, double m0, double m1, double *s, double *d)
{
    double t = (u - u0) / h;
    double a = m0 * h;
    double b = 3 * (p1 - p0) - 2 * m0 * h - m1 * h;
    double c = 2 * (p0 - p1) + m0 * h + m1 * h;
    *s = p0 + a * t + b * t * t + c * t * t * t;
    *d = (a + 2 * b * t + 3 * c * t * t) / h;
}

void linkage_curve(const BikeModel *m, double u, double *stroke, double *slope)
{
    double knot = m->linkage_knot;
    if (u <= knot)
        hermite(u, 0, knot, 0, m->linkage_stroke_knot, m->linkage_slope_start, m->linkage_slope_knot, stroke, slope);
    else
        hermite(u, knot, 1 - knot, m->linkage_stroke_knot, m->linkage_stroke_full, m->linkage_slope_knot,
                m->linkage_slope_full, stroke, slope);
}

double shock_torque(const BikeModel *m, const ShockCoefficients &c, double theta, double omega)
{
    double travel = m->swingarm_travel;
    double u = clampd(-theta / travel, 0, 1);
    double s, d;
    linkage_curve(m, u, &s, &d);
    double v = omega * d;
    double damping = damping_law(v, c.hsc, c.lsc, c.hsr, c.lsr);
    double spring = c.k * (s + c.preload);
    double fade = clampd(-theta / (travel / 32), 0, 1);
    return d * (damping + spring) * fade;
}

double suspension_hs_factor(double setting)
{
    return pow(2.0, 0.04 * setting - 2);
}

double suspension_ls_offset(double setting)
{
    return 0.02 * setting - 1;
}

double suspension_fraction(double setting)
{
    return 0.01 * setting;
}

void set_fork(Bike *bike, double hsc_factor, double lsc_offset, double hsr_factor, double lsr_offset, double spring,
              double preload, double oil_level)
{
    const BikeModel &m = bike->model;
    bike->fork_hsc = (float)(clampd(hsc_factor, 0.25, 4) * m.fork_hs_compression);
    bike->fork_lsc = (float)(clampd(lsc_offset, -1, 1) * m.fork_ls_compression);
    bike->fork_hsr = (float)(clampd(hsr_factor, 0.25, 4) * m.fork_hs_rebound);
    bike->fork_lsr = (float)(clampd(lsr_offset, -1, 1) * m.fork_ls_rebound);
    bike->fork_k = (float)(m.fork_spring_min + (m.fork_spring_max - m.fork_spring_min) * clampd(spring, 0, 1));
    bike->fork_preload = (float)(m.fork_preload_min + (m.fork_preload_max - m.fork_preload_min) * clampd(preload, 0, 1));
    bike->fork_gap = (float)(m.fork_gap_min_oil + (m.fork_gap_max_oil - m.fork_gap_min_oil) * clampd(oil_level, 0, 1));
}

void set_shock(Bike *bike, double hsc_factor, double lsc_offset, double hsr_factor, double lsr_offset, double spring,
               double preload)
{
    const BikeModel &m = bike->model;
    bike->shock_hsc = (float)(clampd(hsc_factor, 0.25, 4) * m.shock_hs_compression);
    bike->shock_lsc = (float)(clampd(lsc_offset, -1, 1) * m.shock_ls_compression);
    bike->shock_hsr = (float)(clampd(hsr_factor, 0.25, 4) * m.shock_hs_rebound);
    bike->shock_lsr = (float)(clampd(lsr_offset, -1, 1) * m.shock_ls_rebound);
    bike->shock_k = (float)(m.shock_spring_min + (m.shock_spring_max - m.shock_spring_min) * clampd(spring, 0, 1));
    bike->shock_preload =
        (float)(m.shock_preload_min + (m.shock_preload_max - m.shock_preload_min) * clampd(preload, 0, 1));
}

void fork_update(Bike *bike)
{
    dJointID slider = bike->joints[JOINT_FORK];
    ForkCoefficients c = {bike->fork_hsc, bike->fork_lsc, bike->fork_hsr, bike->fork_lsr,
                          bike->fork_k,   bike->fork_preload, bike->fork_gap, bike->model.fork_travel};
    double f = fork_force(c, dJointGetSliderPosition(slider), dJointGetSliderPositionRate(slider));
    dJointSetSliderParam(slider, dParamVel, f >= 0 ? 100 : 0);
    dJointSetSliderParam(slider, dParamFMax, fabs(f));
}

void shock_update(Bike *bike)
{
    dJointID pivot = bike->joints[JOINT_PIVOT];
    ShockCoefficients c = {bike->shock_hsc, bike->shock_lsc, bike->shock_hsr,
                           bike->shock_lsr, bike->shock_k,   bike->shock_preload};
    double t = shock_torque(&bike->model, c, dJointGetHingeAngle(pivot), dJointGetHingeAngleRate(pivot));
    dJointSetHingeParam(pivot, dParamVel, t >= 0 ? 100 : 0);
    dJointSetHingeParam(pivot, dParamFMax, fabs(t));
}

static double low_speed_share(double v, double ls_comp, double hs_comp, double ls_reb, double hs_reb)
{
    double denominator = v >= 0 ? ls_reb + v * hs_reb : ls_comp + fabs(v) * hs_comp;
    if (denominator == 0)
        return 1;
    return (v >= 0 ? ls_reb : ls_comp) / denominator;
}

void suspension_samples(const Bike *bike, float samples[6])
{
    const BikeModel &m = bike->model;
    dJointID slider = bike->joints[JOINT_FORK];
    dJointID pivot = bike->joints[JOINT_PIVOT];
    double p = dJointGetSliderPosition(slider);
    double v = dJointGetSliderPositionRate(slider);
    samples[0] = (float)(-p / m.fork_travel);
    samples[1] = (float)v;
    samples[2] = (float)low_speed_share(v, m.fork_ls_compression, m.fork_hs_compression, m.fork_ls_rebound,
                                        m.fork_hs_rebound);
    double theta = dJointGetHingeAngle(pivot);
    double u = clampd(-theta / m.swingarm_travel, 0, 1);
    double s, d;
    linkage_curve(&m, u, &s, &d);
    double sv = dJointGetHingeAngleRate(pivot) * d;
    samples[3] = (float)u;
    samples[4] = (float)sv;
    samples[5] = (float)low_speed_share(sv, m.shock_ls_compression, m.shock_hs_compression, m.shock_ls_rebound,
                                        m.shock_hs_rebound);
}

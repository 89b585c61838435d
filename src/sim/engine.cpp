// The engine as one rotating inertia coupled to the rear wheel through the
// gearbox and a torsional spring-damper; brakes as axle-hinge motors.
#include "sim/engine.h"

#include <cmath>

#include "sim/bike.h"
#include "sim/sim_math.h"

double engine_curve_torque(const BikeModel *m, double rpm, double throttle)
{
    double f = clampd(rpm * 0.002, 0, 49);
    int i = (int)floor(f);
    double w = f - i;
    int i0 = i < 0 ? 0 : (i > 49 ? 49 : i);
    int i1 = i + 1 > 49 ? 49 : i + 1;
    double closed = m->torque_closed[i0] + ((double)m->torque_closed[i1] - m->torque_closed[i0]) * w;
    double open = m->torque_open[i0] + ((double)m->torque_open[i1] - m->torque_open[i0]) * w;
    return closed + (open - closed) * throttle;
}

double engine_torque(const Bike *bike)
{
    double t = engine_curve_torque(&bike->model, bike->engine_speed * RAD_S_TO_RPM, bike->throttle);
    if ((bike->options & OPTION_STOP_WHEELIES) && bike->wheels[0].depth <= 0 && bike->wheels[1].depth > 0 && t > 0) {
        dVector3 w;
        const dReal *av = dBodyGetAngularVel(bike->bodies[BODY_FRAME]);
        dBodyVectorFromWorld(bike->bodies[BODY_FRAME], av[0], av[1], av[2], w);
        if (w[0] > -0.03125)
            t = 0;
    }
    return t;
}

double auto_clutch_engagement(double rpm, double auto_rpm, double clutch_input)
{
    if (rpm <= auto_rpm + 2000)
        return fmin(clampd((rpm - auto_rpm) / 2000, 0, 1), clutch_input);
    return clutch_input;
}

int step_gear(const BikeModel *m, int gear, int delta)
{
    int g = gear + delta;
    g = g < 0 ? 0 : (g > 5 ? 5 : g);
    while (g > 0 && m->gear_ratios[g] <= 0)
        g--;
    return g;
}

double overall_ratio(const Bike *bike)
{
    return (double)bike->model.gear_ratios[bike->gear] * bike->model.primary_ratio * bike->final_drive;
}

void set_sprockets(Bike *bike, double countershaft_offset, double rear_offset)
{
    double cs = fmax(3, floor(bike->model.countershaft_teeth + clampd(countershaft_offset, -2, 2)));
    double rear = fmax(3, floor(bike->model.rear_sprocket_teeth + clampd(rear_offset, -2, 2)));
    bike->final_drive = (float)(rear / cs);
}

void set_auto_clutch_rpm(Bike *bike, double rpm)
{
    bike->setup.auto_clutch_rpm = (float)clampd(rpm, 0, 5000);
}

void set_braking_torque(Bike *bike, double front, double rear)
{
    bike->setup.front_braking_torque = (float)clampd(front, 0, 500);
    bike->setup.rear_braking_torque = (float)clampd(rear, 0, 500);
}

static double contact_speed_squared(const WheelState &w)
{
    return (double)w.velocity[0] * w.velocity[0] + (double)w.velocity[1] * w.velocity[1] +
           (double)w.velocity[2] * w.velocity[2];
}

void auto_shift_update(Bike *bike, int tick)
{
    if (!(bike->options & OPTION_AUTO_SHIFT))
        return;
    const WheelState &rear = bike->wheels[1];
    if (!(dJointGetHingeAngle(bike->joints[JOINT_PIVOT]) < -0.01 && tick % 32 == 0 &&
          (rear.depth <= 0 || contact_speed_squared(rear) <= 4)))
        return;
    double wheel_rpm = dJointGetHingeAngleRate(bike->joints[JOINT_REAR_AXLE]) * overall_ratio(bike) * RAD_S_TO_RPM;
    if (wheel_rpm < bike->model.downshift_rpm)
        bike->gear = step_gear(&bike->model, bike->gear, -1);
    else if (wheel_rpm > bike->model.upshift_rpm)
        bike->gear = step_gear(&bike->model, bike->gear, +1);
}

static double wrap_angle(double a)
{
    while (a > M_PI)
        a -= 2 * M_PI;
    while (a < -M_PI)
        a += 2 * M_PI;
    return a;
}

void drive_update(Bike *bike)
{
    const BikeModel &m = bike->model;
    double ratio = overall_ratio(bike);
    double omega = bike->engine_speed;
    double theta = bike->crank_angle;
    double te = engine_torque(bike);
    dJointID axle = bike->joints[JOINT_REAR_AXLE];
    double phi = dJointGetHingeAngle(axle);
    double rate = dJointGetHingeAngleRate(axle);
    double twist = wrap_angle(theta - phi);
    double rpm = omega * RAD_S_TO_RPM;
    double c = auto_clutch_engagement(rpm, bike->setup.auto_clutch_rpm, bike->clutch);
    double damper = clampd((omega - rate * ratio) * m.clutch_damping, -500, 500);
    double t = m.clutch_stiffness * twist + damper;
    if (t < 0)
        c = bike->clutch;
    t = clampd(t, -1e6, 1e6);
    double give = c * M_PI / 4;
    if (twist > give)
        theta = phi + give;
    else if (twist < -give)
        theta = phi - give;
    double transmitted = c * c * t;
    dBodyAddRelTorque(bike->bodies[BODY_REAR_WHEEL], -transmitted, 0, 0);
    dBodyAddRelTorque(bike->bodies[BODY_FRAME], transmitted, 0, 0);
    omega += SIM_STEP * (te - transmitted / ratio) / bike->engine_inertia;
    theta = wrap_angle(theta + SIM_STEP * omega / ratio);
    bike->engine_speed = (float)omega;
    bike->crank_angle = (float)theta;
}

void brakes_update(Bike *bike)
{
    const WheelState &front = bike->wheels[0];
    const WheelState &rear = bike->wheels[1];
    double tf = bike->setup.front_braking_torque * bike->front_brake;
    if ((bike->options & OPTION_FRONT_ANTILOCK) && front.depth > 0 && contact_speed_squared(front) > 4)
        tf = 0;
    if ((bike->options & OPTION_STOP_STOPPIES) && front.depth > 0 && rear.depth <= 0)
        tf = 0;
    dJointSetHingeParam(bike->joints[JOINT_FRONT_AXLE], dParamVel, 0);
    dJointSetHingeParam(bike->joints[JOINT_FRONT_AXLE], dParamFMax, tf);
    double tr = bike->setup.rear_braking_torque * bike->rear_brake;
    if ((bike->options & OPTION_REAR_ANTILOCK) && rear.depth > 0 && contact_speed_squared(rear) > 4)
        tr = 0;
    dJointSetHingeParam(bike->joints[JOINT_REAR_AXLE], dParamVel, 0);
    dJointSetHingeParam(bike->joints[JOINT_REAR_AXLE], dParamFMax, tr);
}

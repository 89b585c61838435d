// Contact geometry against the heightfield and the soft contact joints of
// tyres and shapes. No ODE collision geometry is involved.
#include "sim/ground.h"

#include <cmath>
#include <cstring>

#include "sim/bike.h"
#include "sim/crash.h"
#include "sim/shape.h"
#include "sim/sim_math.h"
#include "track/surface.h"
#include "track/terrain.h"

namespace {

struct Triangle {
    double q[3][3];
    double n[3];  // unit face normal, pointing up
};

// Cell range covering [lo, hi] along one axis, kept to a sane span.
void cell_range(double lo, double hi, double s, int *first, int *end)
{
    double a = clampd(floor(lo / s), -1e8, 1e8);
    double b = clampd(ceil(hi / s), -1e8, 1e8);
    if (b > a + 64)
        b = a + 64;
    *first = (int)a;
    *end = (int)b;
}

void vertex(const Terrain *t, int i, int j, double out[3])
{
    out[0] = (double)i * t->spacing;
    out[1] = terrain_grid_height(t, i, j);
    out[2] = (double)j * t->spacing;
}

// The two triangles of cell (i, j) of the checkerboard triangulation.
void cell_triangles(const Terrain *t, int i, int j, Triangle tri[2])
{
    double v00[3], v10[3], v01[3], v11[3];
    vertex(t, i, j, v00);
    vertex(t, i + 1, j, v10);
    vertex(t, i, j + 1, v01);
    vertex(t, i + 1, j + 1, v11);
    const double *a[3], *b[3];
    if (((i ^ j) & 1) == 0) {
        a[0] = v00, a[1] = v10, a[2] = v11;
        b[0] = v00, b[1] = v11, b[2] = v01;
    } else {
        a[0] = v00, a[1] = v10, a[2] = v01;
        b[0] = v10, b[1] = v11, b[2] = v01;
    }
    for (int k = 0; k < 3; k++) {
        copy3(a[k], tri[0].q[k]);
        copy3(b[k], tri[1].q[k]);
    }
    for (int m = 0; m < 2; m++) {
        double e1[3], e2[3], n[3];
        sub3(tri[m].q[2], tri[m].q[0], e2);
        sub3(tri[m].q[1], tri[m].q[0], e1);
        cross3(e2, e1, n);
        if (n[1] < 0)
            scale3(n, -1, n);
        scale3(n, 1 / length3(n), tri[m].n);
    }
}

// Edge-side value of p for edge k of the triangle, seen along n.
double edge_side(const Triangle &t, int k, const double p[3], const double n[3])
{
    double e[3], d[3], c[3];
    sub3(t.q[(k + 1) % 3], t.q[k], e);
    sub3(p, t.q[k], d);
    cross3(e, d, c);
    return dot3(c, n);
}

bool inside_along(const Triangle &t, const double p[3], const double n[3])
{
    double s0 = edge_side(t, 0, p, n), s1 = edge_side(t, 1, p, n), s2 = edge_side(t, 2, p, n);
    return (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
}

// Squared distance from the point A + t e to the core circle, and its derivatives.
struct EdgeCircle {
    double d0[3], e[3], h0, he, ee, radius;
    double value(double t) const
    {
        double d[3] = {d0[0] + t * e[0], d0[1] + t * e[1], d0[2] + t * e[2]};
        double h = h0 + t * he;
        double q = fmax(dot3(d, d) - h * h, 0);
        return dot3(d, d) - 2 * radius * sqrt(q) + radius * radius;
    }
    void derivatives(double t, double *first, double *second) const
    {
        double d[3] = {d0[0] + t * e[0], d0[1] + t * e[1], d0[2] + t * e[2]};
        double h = h0 + t * he;
        double rho = sqrt(fmax(dot3(d, d) - h * h, 0));
        double dd1 = 2 * dot3(d, e), q1 = dd1 - 2 * h * he;
        double dd2 = 2 * ee, q2 = dd2 - 2 * he * he;
        if (rho < 1e-9) {
            *first = dd1;
            *second = dd2;
            return;
        }
        *first = dd1 - radius * q1 / rho;
        *second = dd2 - radius * (q2 / rho - q1 * q1 / (2 * rho * rho * rho));
    }
};

double newton_from(const EdgeCircle &ec, double t)
{
    t = clampd(t, 0, 1);
    double value = ec.value(t);
    for (int iteration = 0; iteration < 4; iteration++) {
        double g, h;
        ec.derivatives(t, &g, &h);
        if (fabs(g) < 0x1p-30 || h == 0)
            break;
        double next = clampd(t - g / h, 0, 1);
        double next_value = ec.value(next);
        if (!(next_value < value))
            break;
        t = next, value = next_value;
    }
    return t;
}

// Unit vector perpendicular to a (any).
void any_perpendicular(const double a[3], double out[3])
{
    double helper[3] = {fabs(a[0]) < 0.9 ? 1.0 : 0.0, fabs(a[0]) < 0.9 ? 0.0 : 1.0, 0};
    cross3(a, helper, out);
    scale3(out, 1 / length3(out), out);
}

// Nearest approach of the triangle's edges to the core circle.
bool torus_edge_test(const Triangle &t, const double w[3], const double a[3], double major, double minor,
                     GroundHit *hit)
{
    double best_value = INFINITY, best_point[3] = {0, 0, 0};
    for (int k = 0; k < 3; k++) {
        const double *pa = t.q[k], *pb = t.q[(k + 1) % 3];
        EdgeCircle ec;
        sub3(pb, pa, ec.e);
        sub3(pa, w, ec.d0);
        ec.h0 = dot3(ec.d0, a);
        ec.he = dot3(ec.e, a);
        ec.ee = dot3(ec.e, ec.e);
        ec.radius = major;
        if (ec.ee <= 0)
            continue;
        double length = sqrt(ec.ee);
        double t0 = -dot3(ec.d0, ec.e) / ec.ee;
        double along = ec.he / length;
        double extent = major * sqrt(fmax(0, 1 - along * along));
        if (extent < major / 1000)
            extent = major / 1000;
        double spread = extent / length;
        double starts[2] = {newton_from(ec, t0 - spread), newton_from(ec, t0 + spread)};
        for (double s : starts) {
            double v = ec.value(s);
            if (v < best_value) {
                best_value = v;
                for (int c = 0; c < 3; c++)
                    best_point[c] = pa[c] + s * ec.e[c];
            }
        }
    }
    if (!(best_value < INFINITY))
        return false;
    double distance = sqrt(fmax(best_value, 0));
    double depth = minor - distance;
    if (depth <= 0)
        return false;
    // Core circle point nearest the edge point.
    double d[3], radial[3], c[3];
    sub3(best_point, w, d);
    double h = dot3(d, a);
    radial[0] = d[0] - h * a[0], radial[1] = d[1] - h * a[1], radial[2] = d[2] - h * a[2];
    double rl = length3(radial);
    if (rl < 1e-12)
        any_perpendicular(a, radial), rl = 1;
    for (int m = 0; m < 3; m++)
        c[m] = w[m] + major * radial[m] / rl;
    double n[3];
    sub3(c, best_point, n);
    double nl = length3(n);
    if (nl < 1e-12)
        copy3(t.n, n);
    else
        scale3(n, 1 / nl, n);
    copy3(best_point, hit->point);
    copy3(n, hit->normal);
    hit->depth = depth;
    return true;
}

// Squared distance from p to the nearest point of the triangle.
double triangle_distance2(const Triangle &t, const double p[3])
{
    double rel[3];
    sub3(p, t.q[0], rel);
    double h = dot3(rel, t.n);
    double proj[3] = {p[0] - h * t.n[0], p[1] - h * t.n[1], p[2] - h * t.n[2]};
    if (inside_along(t, proj, t.n))
        return h * h;
    double best = INFINITY;
    for (int k = 0; k < 3; k++) {
        const double *pa = t.q[k], *pb = t.q[(k + 1) % 3];
        double e[3], d[3];
        sub3(pb, pa, e);
        sub3(p, pa, d);
        double ee = dot3(e, e);
        double s = ee > 0 ? clampd(dot3(d, e) / ee, 0, 1) : 0;
        double diff[3] = {d[0] - s * e[0], d[1] - s * e[1], d[2] - s * e[2]};
        best = fmin(best, dot3(diff, diff));
    }
    return best;
}

bool torus_triangle(const Triangle &t, const double w[3], const double a[3], double major, double minor,
                    GroundHit *hit)
{
    // Nothing of the torus reaches farther than R + r from its centre (a
    // centre under the plane may still be sunk through the face).
    double reach = major + minor, above[3];
    sub3(w, t.q[0], above);
    if (dot3(above, t.n) >= 0 && triangle_distance2(t, w) >= reach * reach)
        return false;
    const double *n = t.n;
    double v[3], wd[3];
    cross3(a, n, v);
    cross3(a, v, wd);
    double wl = length3(wd);
    if (wl < 1e-12)
        any_perpendicular(a, wd), wl = 1;
    scale3(wd, 1 / wl, wd);
    if (dot3(wd, n) > 0)
        scale3(wd, -1, wd);
    double p1[3], p2[3], rel[3];
    for (int k = 0; k < 3; k++) {
        p1[k] = w[k] + major * wd[k];
        p2[k] = w[k] - major * wd[k];
    }
    sub3(p1, t.q[0], rel);
    double h1 = dot3(rel, n);  // signed height of P1 over the plane
    sub3(p2, t.q[0], rel);
    double h2 = dot3(rel, n);
    double proj[3];
    for (int k = 0; k < 3; k++)
        proj[k] = p1[k] - h1 * n[k];
    auto face = [&](double depth) {
        if (depth <= 0)
            return false;
        for (int k = 0; k < 3; k++) {
            hit->point[k] = p1[k] - minor * n[k];
            hit->normal[k] = n[k];
        }
        hit->depth = depth;
        return true;
    };
    if (h1 > 0) {
        if (inside_along(t, proj, n))
            return face(minor - h1);
        return torus_edge_test(t, w, a, major, minor, hit);
    }
    if (h2 > 0) {
        if (inside_along(t, proj, n))
            return face(minor - h1);  // h1 <= 0: depth r + distance
        for (int k = 0; k < 3; k++) {
            const double *pa = t.q[k], *pb = t.q[(k + 1) % 3], *pc = t.q[(k + 2) % 3];
            double da[3], db[3];
            sub3(pa, w, da);
            sub3(pb, w, db);
            double sa = dot3(da, a), sb = dot3(db, a);
            if (!(sa * sb < 0))
                continue;
            // P1's projection must lie on the outer side of this edge.
            if (edge_side(t, k, proj, n) * edge_side(t, k, pc, n) >= 0)
                continue;
            double e[3], x[3];
            sub3(pb, pa, e);
            double f = sa / (sa - sb);
            for (int m = 0; m < 3; m++)
                x[m] = pa[m] + f * e[m];
            double xw[3];
            sub3(x, w, xw);
            if (dot3(xw, xw) > major * major)
                continue;
            double c1[3], nn[3];
            cross3(xw, a, c1);
            cross3(e, c1, nn);
            double nl = length3(nn);
            if (nl < 1e-12)
                continue;
            scale3(nn, (dot3(nn, n) < 0 ? -1 : 1) / nl, nn);
            copy3(x, hit->point);
            copy3(nn, hit->normal);
            hit->depth = minor - 0x1p-20;
            return true;
        }
        return torus_edge_test(t, w, a, major, minor, hit);
    }
    double up[3] = {0, 1, 0};
    if (inside_along(t, w, up)) {
        copy3(p1, hit->point);
        copy3(up, hit->normal);
        hit->depth = 2 * major;
        return true;
    }
    return torus_edge_test(t, w, a, major, minor, hit);
}

bool sphere_triangle(const Triangle &t, const double c[3], double radius, GroundHit *hit)
{
    const double *n = t.n;
    double rel[3];
    sub3(c, t.q[0], rel);
    double h = dot3(rel, n);
    double proj[3];
    for (int k = 0; k < 3; k++)
        proj[k] = c[k] - h * n[k];
    if (inside_along(t, proj, n)) {
        double depth = radius - h;
        if (depth <= 0)
            return false;
        copy3(proj, hit->point);
        copy3(n, hit->normal);
        hit->depth = depth;
        return true;
    }
    double best = INFINITY, best_point[3] = {0, 0, 0};
    for (int k = 0; k < 3; k++) {
        const double *pa = t.q[k], *pb = t.q[(k + 1) % 3];
        double e[3], d[3];
        sub3(pb, pa, e);
        sub3(c, pa, d);
        double ee = dot3(e, e);
        double s = ee > 0 ? clampd(dot3(d, e) / ee, 0, 1) : 0;
        double x[3], diff[3];
        for (int m = 0; m < 3; m++)
            x[m] = pa[m] + s * e[m];
        sub3(c, x, diff);
        double dist2 = dot3(diff, diff);
        if (dist2 < best) {
            best = dist2;
            copy3(x, best_point);
        }
    }
    double distance = sqrt(best);
    double depth = radius - distance;
    if (depth <= 0)
        return false;
    double normal[3];
    sub3(c, best_point, normal);
    if (distance < 1e-12)
        copy3(n, normal);
    else
        scale3(normal, 1 / distance, normal);
    copy3(best_point, hit->point);
    copy3(normal, hit->normal);
    hit->depth = depth;
    return true;
}

bool finite3(const double v[3])
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

}  // namespace

double surface_friction(const SurfaceType *s, double u)
{
    int i = 0;
    while (i < CURVE_POINTS && s->friction_key[i] != 0 && u >= s->friction_key[i])
        i++;
    if (i == 0)
        return s->friction[0];
    if (i == CURVE_POINTS || s->friction_key[i] == 0)
        return s->friction[i - 1];
    double k0 = s->friction_key[i - 1], k1 = s->friction_key[i];
    double f = clampd((u * u - k0 * k0) / (k1 * k1 - k0 * k0), 0, 1);
    return s->friction[i - 1] + ((double)s->friction[i] - s->friction[i - 1]) * f;
}

void surface_rolling_resistance(const SurfaceType *s, double q, double *a, double *b)
{
    int i = 0;
    while (i < CURVE_POINTS && s->roll_key[i] != 0 && q >= s->roll_key[i])
        i++;
    if (i == 0) {
        *a = s->roll_a[0], *b = s->roll_b[0];
        return;
    }
    if (i == CURVE_POINTS || s->roll_key[i] == 0) {
        *a = s->roll_a[i - 1], *b = s->roll_b[i - 1];
        return;
    }
    double k0 = s->roll_key[i - 1], k1 = s->roll_key[i];
    double f = clampd((q - k0) / (k1 - k0), 0, 1);
    *a = s->roll_a[i - 1] + ((double)s->roll_a[i] - s->roll_a[i - 1]) * f;
    *b = s->roll_b[i - 1] + ((double)s->roll_b[i] - s->roll_b[i - 1]) * f;
}

void tyre_stiffness(double depth, double minor_radius, double *k, double *c)
{
    double f = fmin(1, depth / minor_radius);
    double f3 = f * f * f;
    *k = 24000 * f3 + 1000;
    *c = 2300 * f3 + 200;
}

void soft_contact_params(double k, double c, double *erp, double *cfm)
{
    *cfm = 1 / (SIM_STEP * k + c);
    *erp = SIM_STEP * k * *cfm;
}

void rolling_resistance_force(const double w[3], const double normal[3], double rho, double force[3])
{
    double wn = dot3(w, normal);
    double wt[3] = {w[0] - wn * normal[0], w[1] - wn * normal[1], w[2] - wn * normal[2]};
    double q = length3(wt);
    double s = q > 1 ? -rho / q : -rho;
    scale3(wt, s, force);
}

// The deepest hit of `test` over the triangles of the cells within `reach`
// of (x, z), in a fixed cell order so that ties resolve the same every run.
template <class TriangleTest>
static bool deepest_hit(const Terrain *terrain, double x, double z, double reach, TriangleTest test, GroundHit *hit)
{
    double s = terrain->spacing;
    int i0, i1, j0, j1;
    cell_range(x - reach, x + reach, s, &i0, &i1);
    cell_range(z - reach, z + reach, s, &j0, &j1);
    bool found = false;
    GroundHit best = {};
    for (int j = j0; j < j1; j++)
        for (int i = i0; i < i1; i++) {
            Triangle tri[2];
            cell_triangles(terrain, i, j, tri);
            for (const Triangle &t : tri) {
                GroundHit h;
                if (test(t, &h) && (!found || h.depth > best.depth)) {
                    best = h;
                    found = true;
                }
            }
        }
    if (found)
        *hit = best;
    return found;
}

bool torus_terrain(const Terrain *terrain, const double w[3], const double a[3], double major, double minor,
                   GroundHit *hit)
{
    if (!finite3(w) || !finite3(a))
        return false;
    GroundHit best;
    auto test = [&](const Triangle &t, GroundHit *h) {
        return torus_triangle(t, w, a, major, minor, h) && h->depth > 0;
    };
    if (!deepest_hit(terrain, w[0], w[2], major + minor, test, &best))
        return false;
    if (best.normal[1] < 0) {
        double horizontal = best.normal[0] * best.normal[0] + best.normal[2] * best.normal[2];
        if (horizontal >= 1.0 / 1024)
            best.normal[1] = 0;
        else
            best.normal[0] = 0, best.normal[1] = 1, best.normal[2] = 0;
        scale3(best.normal, 1 / length3(best.normal), best.normal);
    }
    *hit = best;
    return true;
}

bool sphere_terrain(const Terrain *terrain, const double c[3], double radius, GroundHit *hit)
{
    if (!finite3(c) || !std::isfinite(radius))
        return false;
    auto test = [&](const Triangle &t, GroundHit *h) { return sphere_triangle(t, c, radius, h); };
    return deepest_hit(terrain, c[0], c[2], radius, test, hit);
}

static void make_contact(dBodyID body, const GroundHit &hit, double mu, double erp, double cfm, const double *fdir,
                         dJointFeedback *feedback)
{
    dContact contact;
    memset(&contact, 0, sizeof contact);
    contact.surface.mode = dContactSoftERP | dContactSoftCFM | dContactApprox1 | (fdir ? dContactFDir1 : 0);
    contact.surface.mu = mu;
    contact.surface.soft_erp = erp;
    contact.surface.soft_cfm = cfm;
    for (int k = 0; k < 3; k++) {
        contact.geom.pos[k] = hit.point[k];
        contact.geom.normal[k] = hit.normal[k];
        if (fdir)
            contact.fdir1[k] = fdir[k];
    }
    contact.geom.depth = hit.depth;
    dJointID joint = dJointCreateContact(sim_world.world, sim_world.contact_group, &contact);
    dJointAttach(joint, body, 0);
    if (feedback)
        dJointSetFeedback(joint, feedback);
}

bool tyre_contact(const Terrain *terrain, WheelState *wheel, double friction_scale)
{
    dBodyID body = wheel->body;
    const dReal *pos = dBodyGetPosition(body);
    const dReal *rot = dBodyGetRotation(body);
    double centre[3] = {pos[0], pos[1], pos[2]};
    double axle[3] = {rot[0], rot[4], rot[8]};
    GroundHit hit;
    if (!torus_terrain(terrain, centre, axle, wheel->major_radius, wheel->minor_radius, &hit)) {
        wheel->depth = 0;
        return false;
    }
    dVector3 pv;
    dBodyGetPointVel(body, hit.point[0], hit.point[1], hit.point[2], pv);
    for (int k = 0; k < 3; k++) {
        wheel->point[k] = (float)hit.point[k];
        wheel->normal[k] = (float)hit.normal[k];
        wheel->velocity[k] = (float)pv[k];
    }
    wheel->depth = (float)hit.depth;
    const SurfaceType *surface = &terrain->surfaces[surface_at(terrain, (float)hit.point[0], (float)hit.point[2])];
    double slide[3] = {pv[0], pv[1], pv[2]};
    double mu = surface_friction(surface, length3(slide)) * friction_scale;
    double k, c, erp, cfm;
    tyre_stiffness(hit.depth, wheel->minor_radius, &k, &c);
    soft_contact_params(k, c, &erp, &cfm);
    double d[3];
    cross3(hit.normal, slide, d);
    if (dot3(d, d) < 1.0 / 1024)
        cross3(hit.normal, axle, d);
    double dl = length3(d);
    bool has_dir = dl > 0;
    if (has_dir)
        scale3(d, 1 / dl, d);
    make_contact(body, hit, mu, erp, cfm, has_dir ? d : nullptr, &wheel->feedback);
    // Rolling resistance, growing with penetration.
    const dReal *lv = dBodyGetLinearVel(body);
    double wv[3] = {lv[0], lv[1], lv[2]};
    double wn = dot3(wv, hit.normal);
    double wt[3] = {wv[0] - wn * hit.normal[0], wv[1] - wn * hit.normal[1], wv[2] - wn * hit.normal[2]};
    double ra, rb;
    surface_rolling_resistance(surface, length3(wt), &ra, &rb);
    double f = fmin(1, hit.depth / wheel->minor_radius);
    double force[3];
    rolling_resistance_force(wv, hit.normal, ra + (rb - ra) * f, force);
    dBodyAddForce(body, force[0], force[1], force[2]);
    return true;
}

bool shape_contact(CollisionShape *shape, dBodyID body, const Terrain *terrain)
{
    const dReal *pos = dBodyGetPosition(body);
    const dReal *rot = dBodyGetRotation(body);
    double erp, cfm;
    soft_contact_params(2500, 250, &erp, &cfm);
    bool touched = false;
    for (size_t n = 0; n < shape->spheres.size(); n++) {
        const ShapeSphere &s = shape->spheres[n];
        double *wc = &shape->world_centres[n * 3];
        for (int k = 0; k < 3; k++)
            wc[k] = rot[k * 4] * s.centre[0] + rot[k * 4 + 1] * s.centre[1] + rot[k * 4 + 2] * s.centre[2] + pos[k];
        GroundHit hit;
        if (!sphere_terrain(terrain, wc, s.radius, &hit))
            continue;
        make_contact(body, hit, s.friction, erp, cfm, nullptr, nullptr);
        touched = true;
    }
    return touched;
}

int bike_terrain_collision(Bike *bike, const Terrain *terrain)
{
    double scale = 1;
    if (bike->options2 & OPTION2_ARCADE)
        scale = 1 - 0.375 * clampd(4 * fabs(bike_lean_angle(bike)) / M_PI, 0, 1);
    int bits = 0;
    if (tyre_contact(terrain, &bike->wheels[0], scale))
        bits |= TOUCH_FRONT_TYRE;
    if (tyre_contact(terrain, &bike->wheels[1], scale))
        bits |= TOUCH_REAR_TYRE;
    static const struct {
        int shape, body, bit;
    } parts[] = {
        {SHAPE_FRAME, BODY_FRAME, TOUCH_FRAME},         {SHAPE_FORK_UPPER, BODY_STEER, TOUCH_FORK_UPPER},
        {SHAPE_FORK_LOWER, BODY_FORK_LOWER, TOUCH_FORK_LOWER}, {SHAPE_SWINGARM, BODY_SWINGARM, TOUCH_SWINGARM},
        {SHAPE_RIDER, BODY_RIDER, TOUCH_RIDER},
    };
    for (const auto &p : parts)
        if (bike->shapes[p.shape] && shape_contact(bike->shapes[p.shape], bike->bodies[p.body], terrain))
            bits |= p.bit;
    if (bits & TOUCH_RIDER) {
        dBodyID rider = bike->bodies[BODY_RIDER];
        const dReal *r = dBodyGetRotation(rider);
        const dReal *v = dBodyGetLinearVel(rider);
        double speed2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
        if (r[5] < 0 && speed2 > 25 && !bike_crashed(bike) && bike->recover_timer >= 0)
            crash_start(bike, terrain);
    }
    if (bits & (TOUCH_FORK_UPPER | TOUCH_FORK_LOWER | TOUCH_SWINGARM | TOUCH_RIDER))
        bike->stopped_after_start = true;
    return bits;
}

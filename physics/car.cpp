#include "physics/car.h"

#include "physics/ode_float.h"

#include <algorithm>
#include <cassert>
#include <numbers>

namespace {

Vector3 toVector3(const dReal* v)
{
    return {odeToFloat(v[0]), odeToFloat(v[1]), odeToFloat(v[2])};
}

void setJointParam(dJointID joint, int parameter, float value)
{
    dJointSetHinge2Param(joint, parameter, value);
}

}  // namespace

bool Car::build(const char* fileName, dWorldID inWorld, dSpaceID inSpace, std::string* reason)
{
    world = inWorld;
    space = inSpace;
    CarFileResult file = readCarFile(fileName);
    if (!file.params) {
        if (reason)
            *reason = file.reason;
        return false;
    }
    build(*file.params, inWorld, inSpace);
    return true;
}

void Car::build(const CarParams& carParams, dWorldID inWorld, dSpaceID inSpace)
{
    assert(carParams.chassisSizeX > 0.0f && carParams.chassisSizeY > 0.0f && carParams.chassisSizeZ > 0.0f &&
           carParams.wheelRadius > 0.0f && "a car needs positive sizes and radius; readCarFile checks them");
    assert(!built() && "a car is built once");
    world = inWorld;
    space = inSpace;
    params = carParams;
    const CarParams& p = params;
    dMass mass;

    // Chassis.
    bodies[0] = dBodyCreate(world);
    dBodySetPosition(bodies[0], p.chassisX, p.chassisY + kCarLift, p.chassisZ);
    dMassSetBox(&mass, 1.0, p.chassisSizeX, p.chassisSizeY, p.chassisSizeZ);
    dMassAdjust(&mass, kChassisMass);
    dBodySetMass(bodies[0], &mass);
    geoms[0] = dCreateBox(nullptr, p.chassisSizeX, p.chassisSizeY, p.chassisSizeZ);
    dGeomSetBody(geoms[0], bodies[0]);

    // Wheels. Those on the -z side are turned half round about x, so their
    // mesh faces outward like the others'.
    for (int part = 1; part < kCarPartCount; ++part) {
        bodies[part] = dBodyCreate(world);
        if (part == 2 || part == 4) {
            dQuaternion q;
            dQFromAxisAndAngle(q, 1.0, 0.0, 0.0, std::numbers::pi_v<float>);
            dBodySetQuaternion(bodies[part], q);
        }
        dMassSetSphere(&mass, 1.0, p.wheelRadius);
        dMassAdjust(&mass, kWheelMass);
        dBodySetMass(bodies[part], &mass);
        geoms[part] = dCreateSphere(nullptr, p.wheelRadius);
        dGeomSetBody(geoms[part], bodies[part]);
    }
    const float wheelY = p.wheelRadius + kCarLift;
    dBodySetPosition(bodies[1], -p.rearAxleX, wheelY, p.rearTrack / 2.0f);
    dBodySetPosition(bodies[2], -p.rearAxleX, wheelY, -p.rearTrack / 2.0f);
    dBodySetPosition(bodies[3], p.frontAxleX, wheelY, p.frontTrack / 2.0f);
    dBodySetPosition(bodies[4], p.frontAxleX, wheelY, -p.frontTrack / 2.0f);

    const dReal steeringAxis[3] = {0.0, 1.0, 0.0};
    const dReal axle[3] = {0.0, 0.0, 1.0};
    for (int k = 0; k < kCarJointCount; ++k) {
        joints[k] = dJointCreateHinge2(world, nullptr);
        dJointAttach(joints[k], bodies[0], bodies[k + 1]);
        const dReal* anchor = dBodyGetPosition(bodies[k + 1]);
        dJointSetHinge2Anchor(joints[k], anchor[0], anchor[1], anchor[2]);
        dJointSetHinge2Axes(joints[k], steeringAxis, axle);
    }
    for (dJointID joint : joints) {
        setJointParam(joint, dParamSuspensionERP, kSuspensionErp);
        setJointParam(joint, dParamSuspensionCFM, kSuspensionCfm);
    }
    // The rear wheels never steer; the front stops follow the steering every frame.
    for (int k = 0; k < 2; ++k) {
        setJointParam(joints[k], dParamLoStop, 0.0f);
        setJointParam(joints[k], dParamHiStop, 0.0f);
    }

    // Grouped, the parts are only ever collided together against something
    // else, never with each other. The space must not destroy them.
    carSpace = dSimpleSpaceCreate(space);
    dSpaceSetCleanup(carSpace, 0);
    for (dGeomID geom : geoms)
        dSpaceAdd(carSpace, geom);
}

void Car::destroy()
{
    if (!built())
        return;
    for (dJointID& joint : joints) {
        dJointDestroy(joint);
        joint = nullptr;
    }
    // A geometry leaves whichever space holds it (a free wheel is in the
    // world's) as it is destroyed; the car space is empty after.
    for (dGeomID& geom : geoms) {
        dGeomDestroy(geom);
        geom = nullptr;
    }
    dSpaceDestroy(carSpace);
    carSpace = nullptr;
    for (dBodyID& body : bodies) {
        dBodyDestroy(body);
        body = nullptr;
    }
    for (int& count : hits)
        count = 0;
    throttle = 0;
    steer = 0.0f;
    brake = 0;
}

void Car::translate(Vector3 offset)
{
    for (dBodyID body : bodies) {
        const Vector3 at = toVector3(dBodyGetPosition(body));
        dBodySetPosition(body, at.x + offset.x, at.y + offset.y, at.z + offset.z);
    }
}

void Car::drive()
{
    // All four wheels are driven; the brake wins over the throttle. No reverse.
    const float driveSpeed = brake > 0 ? 0.0f : kDriveSpeed;
    const float driveForce = brake > 0 ? kBrakeForce : static_cast<float>(throttle / 4);
    for (dJointID joint : joints) {
        setJointParam(joint, dParamVel2, driveSpeed);
        setJointParam(joint, dParamFMax2, driveForce);
    }

    // The steering motor runs toward the lock at most 1 radian per second;
    // both front wheels follow the error of the +z one.
    const float angle = odeToFloat(dJointGetHinge2Angle1(joints[2]));
    const float error = std::clamp(steer - angle, -kSteerErrorLimit, kSteerErrorLimit);
    const float speed = kSteerGain * error;
    for (int k = 2; k < kCarJointCount; ++k) {
        setJointParam(joints[k], dParamVel, speed);
        setJointParam(joints[k], dParamFMax, kSteerForce);
        setJointParam(joints[k], dParamLoStop, kSteerLock * steer);
        setJointParam(joints[k], dParamHiStop, kSteerLock * steer);
        setJointParam(joints[k], dParamFudgeFactor, kSteerFudge);
    }

    // Finite rotation about the axle keeps fast-spinning wheels stable. The
    // front wheels get their own axle as the axis but stay in ODE's default
    // mode, as they always have.
    for (int part = 1; part < kCarPartCount; ++part) {
        dVector3 axis;
        if (part <= 2) {
            dBodyVectorToWorld(bodies[0], 0.0, 0.0, 1.0, axis);
            dBodySetFiniteRotationAxis(bodies[part], axis[0], axis[1], axis[2]);
            dBodySetFiniteRotationMode(bodies[part], 1);
        } else {
            dBodyVectorToWorld(bodies[part], 0.0, 0.0, 1.0, axis);
            dBodySetFiniteRotationAxis(bodies[part], axis[0], axis[1], axis[2]);
        }
    }
}

void Car::hit(int part)
{
    assert(part >= 0 && part < kCarPartCount && "a car has parts 0 to 4");
    ++hits[part];
    dBodyAddForceAtRelPos(bodies[part], kHitForce.x, kHitForce.y, kHitForce.z, kHitPoint.x, kHitPoint.y,
                          kHitPoint.z);
    if (hits[part] == kWheelDetachHits && part >= 1)
        detachWheel(part);
}

void Car::detachWheel(int part)
{
    if (part < 1 || part >= kCarPartCount || wheelDetached(part))
        return;
    // The joint stays (drive still sets it, to no effect); the wheel now
    // lives in the hash space and collides with its former car too.
    dJointAttach(joints[part - 1], nullptr, nullptr);
    dSpaceRemove(carSpace, geoms[part]);
    dSpaceAdd(space, geoms[part]);
    // ODE adds the geometry to the front of the hash space without
    // marking it moved, which hides the now-changed car space behind a
    // clean entry: the next collision then meets a stale bounding box
    // and ODE aborts. Setting the body where it is marks the wheel moved.
    const dReal* at = dBodyGetPosition(bodies[part]);
    dBodySetPosition(bodies[part], at[0], at[1], at[2]);
}

void Car::pushPart(int part, Vector3 localForce, Vector3 localPoint)
{
    assert(part >= 0 && part < kCarPartCount && "a car has parts 0 to 4");
    dBodyAddRelForceAtRelPos(bodies[part], localForce.x, localForce.y, localForce.z, localPoint.x, localPoint.y,
                             localPoint.z);
}

void Car::partPose(int part, float matrix[16]) const
{
    assert(part >= 0 && part < kCarPartCount && "a car has parts 0 to 4");
    const dReal* r = dBodyGetRotation(bodies[part]);  // 3 rows of 4, (i, j) at 4i + j
    const dReal* p = dBodyGetPosition(bodies[part]);
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row)
            matrix[4 * column + row] = odeToFloat(r[4 * row + column]);
        matrix[4 * column + 3] = 0.0f;
    }
    matrix[12] = odeToFloat(p[0]);
    matrix[13] = odeToFloat(p[1]);
    matrix[14] = odeToFloat(p[2]);
    matrix[15] = 1.0f;
}

void Car::partToWorld(int part, Vector3 localPoint, Vector3 localDirection, Vector3& worldPoint,
                      Vector3& worldDirection) const
{
    float m[16];
    partPose(part, m);
    auto rotate = [&m](Vector3 v) {
        return Vector3{m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
                       m[2] * v.x + m[6] * v.y + m[10] * v.z};
    };
    worldPoint = add(rotate(localPoint), Vector3{m[12], m[13], m[14]});
    worldDirection = rotate(localDirection);
}

Vector3 Car::partPosition(int part) const
{
    assert(part >= 0 && part < kCarPartCount && "a car has parts 0 to 4");
    return toVector3(dBodyGetPosition(bodies[part]));
}

Vector3 Car::partVelocity(int part) const
{
    assert(part >= 0 && part < kCarPartCount && "a car has parts 0 to 4");
    return toVector3(dBodyGetLinearVel(bodies[part]));
}

bool Car::wheelDetached(int part) const
{
    return part >= 1 && part < kCarPartCount && dJointGetBody(joints[part - 1], 0) == nullptr;
}

#include "physics/physics_world.h"

namespace {

// ODE's global state, set up on first use and closed at process exit, after
// every World that main owns is gone.
struct OdeLibrary {
    OdeLibrary() { dInitODE2(0); }
    ~OdeLibrary() { dCloseODE(); }
    OdeLibrary(const OdeLibrary&) = delete;
    OdeLibrary& operator=(const OdeLibrary&) = delete;
};

void initOdeOnce()
{
    static OdeLibrary library;
}

// A car's space does not clean up its geometries (destroying it must not
// destroy the car's parts), so the teardown walks the spaces itself.
void destroySpaceAndContents(dSpaceID space)
{
    while (dSpaceGetNumGeoms(space) > 0) {
        dGeomID geom = dSpaceGetGeom(space, 0);
        dSpaceRemove(space, geom);
        if (dGeomIsSpace(geom))
            destroySpaceAndContents(reinterpret_cast<dSpaceID>(geom));
        else
            dGeomDestroy(geom);
    }
    dSpaceDestroy(space);
}

}  // namespace

PhysicsWorld::~PhysicsWorld()
{
    if (space)
        destroySpaceAndContents(space);
    if (contactGroup)
        dJointGroupDestroy(contactGroup);
    if (world)
        dWorldDestroy(world);
    // After the world that used it.
    if (threading)
        dThreadingFreeImplementation(threading);
}

void createPhysicsWorld(PhysicsWorld& physics)
{
    initOdeOnce();
    physics.world = dWorldCreate();
    physics.threading = dThreadingAllocateSelfThreadedImplementation();
    dWorldSetStepThreadingImplementation(physics.world, dThreadingImplementationGetFunctions(physics.threading),
                                         physics.threading);
    physics.space = dHashSpaceCreate(nullptr);
    physics.contactGroup = dJointGroupCreate(0);
    dWorldSetGravity(physics.world, 0.0, kGravityY, 0.0);
    dWorldSetCFM(physics.world, kWorldCfm);

    // A plane's solid side is where a x + b y + c z < d.
    const float h = kArenaHalfSize;
    physics.groundPlane = dCreatePlane(physics.space, 0.0, 1.0, 0.0, 0.0);
    physics.walls[0] = dCreatePlane(physics.space, 1.0, 0.0, 0.0, -h);   // x >= -1000
    physics.walls[1] = dCreatePlane(physics.space, -1.0, 0.0, 0.0, -h);  // x <= 1000
    physics.walls[2] = dCreatePlane(physics.space, 0.0, 0.0, -1.0, -h);  // z <= 1000
    physics.walls[3] = dCreatePlane(physics.space, 0.0, 0.0, 1.0, -h);   // z >= -1000
}

int findContacts(dGeomID o1, dGeomID o2, dContact (&contacts)[kMaxContactsPerPair])
{
    const int n = dCollide(o1, o2, kMaxContactsPerPair, &contacts[0].geom, sizeof(dContact));
    for (int i = 0; i < n; ++i) {
        dSurfaceParameters& surface = contacts[i].surface;
        surface = dSurfaceParameters{};
        surface.mode = dContactFDir1 | dContactSoftERP | dContactSoftCFM | dContactSlip1 | dContactSlip2 |
                       dContactApprox1;
        surface.mu = kContactMu;  // both directions: no separate mu2
        surface.soft_erp = kContactSoftErp;
        surface.soft_cfm = kContactSoftCfm;
        surface.slip1 = kContactSlip1;
        surface.slip2 = kContactSlip2;
        // Friction direction 1 is world z for every contact, whatever its normal.
        contacts[i].fdir1[0] = 0.0;
        contacts[i].fdir1[1] = 0.0;
        contacts[i].fdir1[2] = 1.0;
        contacts[i].fdir1[3] = 0.0;
    }
    return n;
}

void nearCallback(void* data, dGeomID o1, dGeomID o2)
{
    PhysicsWorld& physics = *static_cast<PhysicsWorld*>(data);
    dContact contacts[kMaxContactsPerPair];
    const int n = findContacts(o1, o2, contacts);
    for (int i = 0; i < n; ++i) {
        dJointID joint = dJointCreateContact(physics.world, physics.contactGroup, &contacts[i]);
        // A plane has no body: the joint then holds against the static world.
        dJointAttach(joint, dGeomGetBody(contacts[i].geom.g1), dGeomGetBody(contacts[i].geom.g2));
    }
}

void collidePhysics(PhysicsWorld& physics)
{
    dSpaceCollide(physics.space, &physics, &nearCallback);
}

void stepPhysics(PhysicsWorld& physics, float stepSeconds)
{
    collidePhysics(physics);
    dWorldStep(physics.world, stepSeconds);
    dJointGroupEmpty(physics.contactGroup);
}

int advancePhysics(PhysicsWorld& physics, float& accumulator, float frameSeconds)
{
    accumulator += frameSeconds;
    int steps = 0;
    while (static_cast<double>(accumulator) > kRealSecondsPerStep) {
        accumulator = static_cast<float>(static_cast<double>(accumulator) - kRealSecondsPerStep);
        stepPhysics(physics, kStepSeconds);
        ++steps;
    }
    return steps;
}
